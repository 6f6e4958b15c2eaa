// The parts of the platform layer that every system shares: they are built
// from the per-system calls declared in platform.h.

#include "common/platform.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>

namespace tarvenix::platform {

std::string temp_name_for(std::string_view target) {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (char ch : target) {
        hash = (hash ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(kTempPrefix) + hex;
}

std::string random_temp_name() {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name(kTempPrefix);
    std::uint64_t v = rng();
    for (int i = 0; i < 10; ++i) {
        name.push_back(kDigits[v % 36]);
        v /= 36;
    }
    return name;
}

int check_copy_source(const OpenFile& source, const CopyOptions& options) {
    const FileStatus& st = source.status();
    if (st.type != EntryType::kFile) {
        return st.type == EntryType::kFolder ? EISDIR : EINVAL;
    }
    if (options.refuse_locked_source && is_locked_by_other_process(source.native_handle())) {
        return EBUSY;
    }
    return 0;
}

int copy_file_at(const Directory& src_dir, std::string_view src_name, const Directory& dst_dir,
                 std::string_view dst_name, const CopyOptions& options) {
    int err = 0;
    const OpenFile source = OpenFile::open_at(src_dir, src_name, options.follow_source_link, &err);
    if (!source.is_open()) {
        return err;
    }
    return copy_open_file(source, dst_dir, dst_name, options);
}

int copy_file(const std::string& src_path, const std::string& dst_path,
              const CopyOptions& options) {
    const auto [src_parent, src_name] = split_parent(src_path);
    const auto [dst_parent, dst_name] = split_parent(dst_path);
    if (src_name.empty() || dst_name.empty()) {
        return EISDIR;
    }
    int err = 0;
    const Directory src_dir = Directory::open(src_parent, &err);
    if (!src_dir.is_open()) {
        return err;
    }
    const Directory dst_dir = Directory::open(dst_parent, &err);
    if (!dst_dir.is_open()) {
        return err;
    }
    dst_dir.hold_copy_lock();
    return copy_file_at(src_dir, src_name, dst_dir, dst_name, options);
}

}  // namespace tarvenix::platform
