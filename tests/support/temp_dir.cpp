#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "common/platform.h"
#include "common/text_codec.h"

namespace tarvenix::testing {

namespace fs = std::filesystem;

namespace {
// Paths are UTF-8; a std::string path would be read in the ANSI code page on
// Windows.
fs::path to_path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
}  // namespace

void write_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(to_path(path), std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
    if (!exists(path)) {
        return lines;
    }
    const std::string text = text::from_cp932(read_file(path));
    for (std::size_t pos = 0; pos < text.size();) {
        const auto end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end - pos));
        if (end == std::string::npos) {
            break;
        }
        pos = end + 2;
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
    int n = 0;
    for (const auto& name : folder_entries(folder)) {
        n += name.starts_with(platform::kTempPrefix) ? 1 : 0;
    }
    return n;
}
}  // namespace tarvenix::testing
