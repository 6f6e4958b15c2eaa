#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/text_codec.h"

namespace tarvenix::testing {

namespace fs = std::filesystem;

// Paths are UTF-8; a std::string path would be read in the ANSI code page on
// Windows.
static fs::path to_path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
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
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    return names;
}

int temp_files_in(const std::string& folder) {
    const auto names = folder_entries(folder);
    return static_cast<int>(std::count_if(names.begin(), names.end(), [](const std::string& n) {
        return n.starts_with(platform::kTempPrefix);
    }));
}

}  // namespace tarvenix::testing
