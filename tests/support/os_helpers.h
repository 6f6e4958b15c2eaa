#pragma once

// Real operating-system conditions for tests: other processes holding files,
// small file systems that run full or lose power (Linux).

#include <sys/types.h>

#include <string>

namespace tarvenix::testing {

enum class LockKind { kFlock, kPosixRecord, kOfdRecord };

// A child process that opens the file (or folder, for kFlock), takes the lock
// and keeps it until the object is destroyed.
class LockHolder {
public:
    LockHolder(const std::string& path, LockKind kind);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    int release_fd_ = -1;
    bool holding_ = false;
};

// The file held open for writing, as a program that has it open does.
class FileOpenForWriting {
public:
    explicit FileOpenForWriting(const std::string& path);
    ~FileOpenForWriting();
    FileOpenForWriting(const FileOpenForWriting&) = delete;
    FileOpenForWriting& operator=(const FileOpenForWriting&) = delete;
    bool holding() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

// A file system mounted on a new folder inside `parent` until the object is
// destroyed. Needs root; when the mount is not possible, mounted() is false
// and reason() says why.
class ScopedMount {
public:
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    const std::string& path() const { return path_; }

protected:
    ScopedMount() = default;
    std::string path_;
    bool mounted_ = false;
    std::string reason_;
};

// A tmpfs of the given size.
class ScopedTmpfs : public ScopedMount {
public:
    ScopedTmpfs(const std::string& parent, const std::string& size);
};

// An ext4 file system in an image file inside `parent`, loop-mounted with the
// options given (needs mkfs.ext4 too).
class ScopedExt4 : public ScopedMount {
public:
    ScopedExt4(const std::string& parent, const std::string& options);
    ~ScopedExt4();
    // What a power cut does: the file system stops at once, without writing
    // its journal (EXT4_IOC_SHUTDOWN, EXT4_GOING_FLAGS_NOLOGFLUSH).
    bool cut_power();
    bool remount();  // unmounts and mounts again, replaying the journal

private:
    std::string image_;
    std::string options_;
};

}  // namespace tarvenix::testing
