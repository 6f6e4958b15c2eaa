#pragma once

// Real temporary folders and files for tests, removed afterwards.

#include <string>
#include <string_view>
#include <vector>

#include "common/platform/files.h"

namespace tarvenix::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(std::string_view name) const {
        return path_ + platform::kPathSeparator + std::string(name);
    }

private:
    std::string path_;
};

void write_file(const std::string& path, std::string_view bytes);
std::string read_file(const std::string& path);
bool exists(const std::string& path);
void make_dirs(const std::string& path);
void set_mtime(const std::string& path, long long seconds);  // seconds since the epoch
long long mtime_of(const std::string& path);
unsigned mode_of(const std::string& path);
bool running_as_root();
// The names in a folder but "." and "..", in the order the file system lists them.
std::vector<std::string> folder_entries(const std::string& folder);
int temp_files_in(const std::string& folder);  // the temporary files a copy left
// The CR LF lines of a code page 932 text file as UTF-8; none without a file.
std::vector<std::string> read_cp932_lines(const std::string& path);

}  // namespace tarvenix::testing
