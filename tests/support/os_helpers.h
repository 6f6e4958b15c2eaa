#pragma once

// Real operating-system conditions for tests: other processes holding files,
// small file systems that run full or lose power (Linux).

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

namespace tarvenix::testing {

// Bytes the process holds on its heap now (as the sanitizer counts them, in
// its builds), and whether its resident memory tells what the program uses:
// not under AddressSanitizer, whose quarantine keeps freed memory, nor under
// ThreadSanitizer, whose shadow of the memory stays resident too.
std::size_t heap_in_use();
bool resident_memory_counts();

// Each holds what it stands for until it is destroyed.
struct NotCopyable {
    NotCopyable() = default;
    NotCopyable(const NotCopyable&) = delete;
    NotCopyable& operator=(const NotCopyable&) = delete;
};

enum class LockKind { kFlock, kPosixRecord, kOfdRecord };

// A child process that opens the file (or folder, for kFlock) and takes the lock.
class LockHolder : NotCopyable {
public:
    LockHolder(const std::string& path, LockKind kind);
    ~LockHolder();
    bool holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    int release_fd_ = -1;
    bool holding_ = false;
};

// The file held open for writing, as a program that has it open does.
class FileOpenForWriting : NotCopyable {
public:
    explicit FileOpenForWriting(const std::string& path);
    ~FileOpenForWriting();
    bool holding() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

// A file system mounted on a new folder inside `parent`. Needs root; when the
// mount is not possible, mounted() is false and reason() says why.
class ScopedMount : NotCopyable {
public:
    ~ScopedMount();
    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    const std::string& path() const { return path_; }

protected:
    std::string path_;
    bool mounted_ = false;
    std::string reason_;
};

struct ScopedTmpfs : ScopedMount {
    ScopedTmpfs(const std::string& parent, const std::string& size);
};

// Media in an image file or a folder inside `parent`: FAT32, exFAT and NTFS as
// Windows uses it (case ignored, Windows' names only) through FUSE, a folder
// keeping times in 2 s steps as vfat does (FUSE), a loop-mounted ext4
// without the replace-by-rename flush (needs root, /dev/fuse and mkfs tools),
// a folder shared by sshfs (its sftp server started by sshfs, no sshd), and
// an ext4 with no journal whose metadata is all written when it is made: on
// a store that fills up, only the data written later fails, at its flush.
enum class Medium { kFat32, kExfat, kNtfs, kTwoSecondTimes, kExt4, kSshfs, kUnjournaledExt4 };
class ScopedMedium : public ScopedMount {
public:
    ScopedMedium(const std::string& parent, Medium medium);
    ~ScopedMedium();
    // What a power cut does to ext4: the file system stops at once, without
    // writing its journal (EXT4_IOC_SHUTDOWN, EXT4_GOING_FLAGS_NOLOGFLUSH).
    bool cut_power();
    bool remount();  // unmounts and mounts again, replaying the journal
    bool throttle(unsigned long long bytes_per_second);  // until destroyed
    // The share's server stops answering (true), or answers again (false).
    bool hang(bool hung);
    // The server answers again after `after`, unless the thread returned
    // is destroyed first: a test whose program waits on the share itself
    // still ends, late enough to show.
    [[nodiscard]] std::jthread answer_again_after(std::chrono::seconds after);

private:
    std::string image_, mount_, home_cgroup_;
    bool throttled_ = false;
    bool hung_ = false;
};

}  // namespace tarvenix::testing
