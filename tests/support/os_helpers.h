#pragma once

// Real operating-system conditions for tests: another process that holds a
// lock on a file (Linux), a file open for writing (Windows), and a small file
// system that runs full (Linux; on Windows it is never mounted).

#include <sys/types.h>

#include <string>

namespace tarvenix::testing {

enum class LockKind { kFlock, kPosixRecord, kOfdRecord };

// A child process that opens the file, takes the lock and keeps it until the
// object is destroyed.
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

// Windows: the file held open for writing until the object is destroyed, as
// a program that has it open does.
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

// A tmpfs of the given size mounted on a new folder inside `parent`. Needs
// root; when the mount is not allowed, mounted() is false and reason() says why.
class ScopedTmpfs {
public:
    ScopedTmpfs(const std::string& parent, const std::string& size);
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs&) = delete;
    ScopedTmpfs& operator=(const ScopedTmpfs&) = delete;
    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool mounted_ = false;
    std::string reason_;
};

}  // namespace tarvenix::testing
