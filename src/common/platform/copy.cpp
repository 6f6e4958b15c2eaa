// The copy, written once for every system over the operations of
// copy_primitives.h: check the source and the target, write a temporary
// file, give it the source's times and bits, and stage or rename it.

#include "common/platform/copy.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <random>
#include <utility>

#include "common/platform/copy_primitives.h"
#include "common/platform/locks.h"

namespace tarvenix::platform {
namespace detail {

namespace {

// The one form of a temporary file's name: the prefix and 16 hexadecimal
// digits (is_temp_name knows it).
std::string temp_name_of(std::uint64_t number) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(number));
    return std::string(kTempPrefix) + hex;
}

}  // namespace

std::string temp_name_for(std::string_view target) {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (char ch : target) {
        hash = (hash ^ static_cast<unsigned char>(ch)) * 1099511628211ULL;
    }
    return temp_name_of(hash);
}

std::string random_temp_name() {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    return temp_name_of(rng());
}

Status ChunkProgress::advance(std::uint64_t bytes) {
    since_call_ += bytes;
    if (since_call_ < kCopyChunkBytes) {
        return {};
    }
    since_call_ = 0;
    const bool go_on = between_chunks_ == nullptr || !*between_chunks_ || (*between_chunks_)();
    return go_on ? Status() : Status(Error{ECANCELED});
}

}  // namespace detail

namespace {

// The first `count` characters of `text` are all in `allowed`.
bool leads_with(std::string_view text, std::size_t count, std::string_view allowed) {
    return text.size() >= count &&
           text.substr(0, count).find_first_not_of(allowed) == std::string_view::npos;
}

}  // namespace

bool is_temp_name(std::string_view name) {
    if (!name.starts_with(kTempPrefix)) {
        return false;
    }
    const std::string_view rest = name.substr(kTempPrefix.size());
    // Today's 16 hexadecimal digits, and the 10 letters and digits of the
    // random names earlier versions made; either may carry a probed name.
    for (const auto& [count, allowed] :
         {std::pair<std::size_t, std::string_view>{16, "0123456789abcdef"},
          std::pair<std::size_t, std::string_view>{10, "0123456789abcdefghijklmnopqrstuvwxyz"}}) {
        if (leads_with(rest, count, allowed) &&
            (rest.size() == count || (rest[count] == '-' && rest.size() > count + 1))) {
            return true;
        }
    }
    return false;
}

namespace {

// A copy starts only from a file (EISDIR, EINVAL) that, when asked, no other
// program is using (EBUSY).
Status check_source(const OpenFile& source, const CopyOptions& options) {
    const FileStatus& st = source.status();
    if (st.type != EntryType::kFile) {
        return Error{st.type == EntryType::kFolder ? EISDIR : EINVAL};
    }
    if (options.refuse_locked_source && is_locked_by_other_process(source.native_handle())) {
        return Error{EBUSY};
    }
    return {};
}

// What stands at the target is looked at first only where it matters: to
// refuse a read-only one when asked, and where the rename would not refuse
// a folder by itself (kRenameRefusesFolders). Anything else, a link
// included, is replaced by the rename.
Status check_target(const Directory& folder, const std::string& target,
                    const CopyOptions& options) {
    if (options.target_known_absent ||
        (!options.refuse_read_only_target && kRenameRefusesFolders)) {
        return {};
    }
    const auto st = folder.status_of(target, false);
    if (!st) {
        return st.error() == ENOENT ? Status() : st.status();
    }
    if (st->type == EntryType::kFolder) {
        return Error{EISDIR};
    }
    if (options.refuse_read_only_target && st->type == EntryType::kFile && (st->mode & 0222) == 0) {
        return Error{EACCES};
    }
    return {};
}

}  // namespace

namespace detail {

// The temporary file for a target has a name of its own (a hash of the
// target's name). A copy that finds that name taken asks the folder's copy
// lock whether it is a dead copy's leftover (a killed program, a power cut),
// which is removed, so leftovers do not pile up; otherwise another program
// is copying the same file right now, and a random name is used.
Result<StagedCopy> make_temp_for(const Directory& folder, const std::string& target,
                                 std::uint32_t mode, const CopyLock* lock, bool may_clean,
                                 const Directory* stage_in) {
    // Asked at each creation: a clean-up can lose the folder's lock to
    // another program, and the copies made after that mark themselves.
    const auto unguarded = [lock] { return lock == nullptr || !lock->held(); };
    // Files of many folders meet in a staging folder: a name by the target's
    // would be taken by a namesake's copy there, never by a dead one's.
    const Directory& made_in = stage_in != nullptr ? *stage_in : folder;
    std::string name = stage_in != nullptr ? random_temp_name() : temp_name_for(target);
    auto file = create_new_file(made_in, name, mode, unguarded());
    if (file.error() == EEXIST && stage_in == nullptr && may_clean && lock != nullptr &&
        lock->remove_if_leftover(name)) {
        file = create_new_file(made_in, name, mode, unguarded());
    }
    for (int attempt = 0; attempt < 100 && file.error() == EEXIST; ++attempt) {
        name = random_temp_name();
        file = create_new_file(made_in, name, mode, unguarded());
    }
    if (!file) {
        return Error{file.error()};
    }
    return StagedCopy(made_in.native_handle(), name, target, std::move(*file),
                      folder.native_handle());
}

}  // namespace detail

StagedCopy::StagedCopy(NativeHandle folder, std::string temp, std::string target, UniqueHandle file,
                       NativeHandle target_folder)
    : folder_(folder)
    , target_folder_(target_folder == kInvalidHandle ? folder : target_folder)
    , temp_(std::move(temp))
    , target_(std::move(target))
    , file_(std::move(file)) {}

StagedCopy::StagedCopy(StagedCopy&& other) noexcept
    : folder_(std::exchange(other.folder_, kInvalidHandle))
    , target_folder_(other.target_folder_)
    , temp_(std::move(other.temp_))
    , target_(std::move(other.target_))
    , file_(std::move(other.file_)) {}

StagedCopy& StagedCopy::operator=(StagedCopy&& other) noexcept {
    if (this != &other) {
        discard();
        folder_ = std::exchange(other.folder_, kInvalidHandle);
        target_folder_ = other.target_folder_;
        temp_ = std::move(other.temp_);
        target_ = std::move(other.target_);
        file_ = std::move(other.file_);
    }
    return *this;
}

Status StagedCopy::commit() {
    if (!pending()) {
        return Error{EINVAL};
    }
    const NativeHandle folder = std::exchange(folder_, kInvalidHandle);
    const Status renamed = detail::rename_over(folder, temp_, file_, target_folder_, target_);
    if (!renamed) {
        detail::remove_temp(folder, temp_, file_);
    }
    file_.reset();
    return renamed;
}

void StagedCopy::discard() {
    if (pending()) {
        detail::remove_temp(std::exchange(folder_, kInvalidHandle), temp_, file_);
        file_.reset();
    }
}

Status copy_open_file(const OpenFile& source, const Directory& dst_dir, std::string_view dst_name,
                      const CopyOptions& options) {
    const std::string target(dst_name);
    if (Status checked = check_source(source, options); !checked) {
        return checked;
    }
    if (Status checked = check_target(dst_dir, target, options); !checked) {
        return checked;
    }
    // The temporary file is born with the source's permission bits where the
    // umask lets it, which spares a chmod for most files.
    const FileStatus& st = source.status();
    // Only a copy that stages nothing may clean up: taking the folder's lock
    // exclusively means letting go of the shared one that guards the staged
    // copies (the next run's visit of the folder removes the leftover).
    auto staged = detail::make_temp_for(dst_dir, target, st.mode & 0777, options.lock,
                                        options.staged == nullptr, options.stage_in);
    if (!staged) {
        return staged.status();
    }
    detail::ChunkProgress progress(options.between_chunks);
    Status done = detail::copy_data(source, staged->file().get(), progress);
    if (done) {
        done = detail::set_times_and_mode(staged->file().get(), st);
    }
    // A staged copy under the folder's copy lock is marked by that lock and
    // lets go of its file; any other keeps its file's own mark to the rename.
    const bool marked_by_folder =
        options.staged != nullptr && options.lock != nullptr && options.lock->held();
    if (done) {
        done = detail::finish_file(staged->file(), !marked_by_folder, options.flush_before_rename);
    }
    if (!done) {
        return done;  // the staged copy removes its file
    }
    if (options.staged != nullptr) {
        *options.staged = std::move(*staged);
        return {};
    }
    return staged->commit();
}

Status copy_file(const std::string& src_path, const std::string& dst_path,
                 const CopyOptions& options) {
    const auto [src_parent, src_name] = split_parent(src_path);
    const auto [dst_parent, dst_name] = split_parent(dst_path);
    if (src_name.empty() || dst_name.empty()) {
        return Error{EISDIR};
    }
    const auto src_dir = Directory::open(src_parent);
    if (!src_dir) {
        return src_dir.status();
    }
    const auto dst_dir = Directory::open(dst_parent);
    if (!dst_dir) {
        return dst_dir.status();
    }
    const auto source = OpenFile::open_at(*src_dir, src_name, options.follow_source_link);
    if (!source) {
        return source.status();
    }
    const CopyLock lock(*dst_dir);
    CopyOptions locked = options;
    locked.lock = &lock;
    return copy_open_file(*source, *dst_dir, dst_name, locked);
}

int time_step_seconds(const Directory& folder) {
    // 2001-01-01 00:00:01 UTC: an odd second, far from now. FAT keeps it
    // a second off, whichever way it rounds (Linux down, Windows up).
    FileStatus probe;
    probe.mtime_sec = probe.atime_sec = 978307201;
    probe.mode = 0600;
    const std::string name = detail::random_temp_name();
    const std::string moved = detail::random_temp_name();
    auto file = detail::create_new_file(folder, name, probe.mode);
    if (!file) {
        return 1;
    }
    // Renamed as every copy is: some file systems lose the time there.
    StagedCopy temp(folder.native_handle(), name, moved, std::move(*file));
    if (!detail::set_times_and_mode(temp.file().get(), probe) ||
        !detail::finish_file(temp.file(), true) || !temp.commit()) {
        return 1;
    }
    const auto st = folder.status_of(moved, false);
    UniqueHandle closed;
    detail::remove_temp(folder.native_handle(), moved, closed);
    if (!st) {
        return 1;
    }
    const double off = std::abs(static_cast<double>(st->mtime_sec - probe.mtime_sec) +
                                static_cast<double>(st->mtime_nsec - probe.mtime_nsec) / 1e9);
    return off < 1.0 ? 1 : off < 2.0 ? 2 : 0;
}

std::vector<int> coinciding_names(const Directory& folder, const std::vector<std::string>& names) {
    std::vector<int> same(names.size(), -1);
    std::deque<StagedCopy> made;  // removed at the end
    const std::string base = detail::random_temp_name() + "-";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string probe = base + names[i];
        if (i > 0) {
            if (const auto st = folder.status_of(probe, false)) {
                // Each probe's size is its index + 1: FUSE file systems may
                // give one entry a node number per spelling, so sizes tell
                // them apart.
                same[i] = static_cast<int>(
                    std::min<std::uint64_t>(std::max<std::uint64_t>(st->size, 1) - 1, i - 1));
                continue;
            }
        }
        auto file = detail::create_new_file(folder, probe, 0600);
        if (!file) {
            // A name too long for a probe cannot be told: the first name's.
            same[i] = i > 0 && (file.error() == ENAMETOOLONG || file.error() == EILSEQ) ? 0 : -1;
            continue;
        }
        StagedCopy& made_file =
            made.emplace_back(folder.native_handle(), probe, std::string(), std::move(*file));
        if (!detail::write_all(made_file.file().get(), std::string(i + 1, 'x')) && i > 0) {
            same[i] = 0;  // cannot be told: counted as the first name's
        }
    }
    return same;
}

}  // namespace tarvenix::platform
