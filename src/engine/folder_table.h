#pragma once

// The folders a walk has found, level by level below the source folder, as
// paths relative to it ("/docs/2004"). It grows as needed: a tree of any width
// or depth is walked whole, in the same breadth-first order.

#include <cstddef>
#include <string>
#include <vector>

namespace tarvenix {

class FolderTable {
public:
    void clear();
    void add(std::size_t level, std::string relative_path);
    // The folders of a level, in the order they were found (empty past the
    // deepest level).
    const std::vector<std::string>& level(std::size_t level) const;
    std::size_t folder_count() const;

private:
    std::vector<std::vector<std::string>> levels_;
};

}  // namespace tarvenix
