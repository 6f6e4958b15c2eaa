#include "engine/folder_table.h"

namespace tarvenix {

void FolderTable::clear() {
    levels_.clear();
}

void FolderTable::add(std::size_t level, std::string relative_path) {
    if (levels_.size() <= level) {
        levels_.resize(level + 1);
    }
    levels_[level].push_back(std::move(relative_path));
}

const std::vector<std::string>& FolderTable::level(std::size_t level) const {
    static const std::vector<std::string> kEmpty;
    return level < levels_.size() ? levels_[level] : kEmpty;
}

std::size_t FolderTable::folder_count() const {
    std::size_t n = 0;
    for (const auto& l : levels_) {
        n += l.size();
    }
    return n;
}

}  // namespace tarvenix
