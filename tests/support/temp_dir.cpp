#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "common/platform/copy.h"
#include "common/text_codec.h"

namespace tarvenix::testing {

namespace fs = std::filesystem;

// Paths are UTF-8; a std::string path would be read in the ANSI code page on
// Windows.
static fs::path to_path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

static std::string from_path(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return {utf8.begin(), utf8.end()};
}

TempDir::TempDir() {
    std::mt19937_64 rng{std::random_device{}()};
    std::error_code ec;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("tarvenix-test-" + std::to_string(rng() % 1000000000));
        if (fs::create_directory(candidate, ec)) {
            fs::permissions(candidate, fs::perms::owner_all, ec);  // its owner's only
            path_ = from_path(candidate);
        }
    }
    if (path_.empty()) {
        throw std::runtime_error("cannot make a temporary folder");
    }
}

TempDir::~TempDir() {
    // Tests make folders unreadable and files read-only (which Windows refuses
    // to delete): give them back first, never through a link.
    std::error_code ec, ignored;
    const fs::path root = to_path(path_);
    for (int pass = 0; pass < 3 && fs::exists(root, ec); ++pass) {
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (auto it = fs::recursive_directory_iterator(
                 root, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink(ignored)) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
        fs::remove_all(root, ec);
    }
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(to_path(path), ec));
}

void write_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(to_path(path), std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string read_file(const std::string& path) {
    std::ifstream in(to_path(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void make_dirs(const std::string& path) {
    fs::create_directories(to_path(path));
}

std::vector<std::string> read_cp932_lines(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = exists(path) ? text::from_cp932(read_file(path)) : "";
    for (std::size_t pos = 0, end = 0; pos < text.size(); pos = end + 2) {
        end = std::min(text.find("\r\n", pos), text.size());
        lines.push_back(text.substr(pos, end - pos));
    }
    return lines;
}

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(to_path(folder))) {
        names.push_back(from_path(entry.path().filename()));
    }
    return names;
}

int temp_files_in(const std::string& folder) {
    return static_cast<int>(std::ranges::count_if(folder_entries(folder), [](const std::string& n) {
        return n.starts_with(platform::kTempPrefix);
    }));
}

}  // namespace tarvenix::testing
