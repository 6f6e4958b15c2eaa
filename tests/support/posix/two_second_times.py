#!/usr/bin/python3
"""Mounts a folder again, keeping modification times in 2-second steps,
rounded down, as Linux's vfat driver keeps them on FAT:
    two_second_times.py BACKING MOUNTPOINT    (returns once mounted)"""
import os
import sys

from fusepy import FUSE, FuseOSError, Operations


class TwoSecondTimes(Operations):
    use_ns = True

    def __init__(self, root):
        self.root = root

    def __call__(self, op, path, *args):
        if op == "rename":  # the new name is a mounted path too
            args = (self.root + args[0],)
        try:
            return getattr(self, op)(self.root + path, *args)
        except OSError as e:
            raise FuseOSError(e.errno) from e

    def getattr(self, path, fh=None):
        st = os.lstat(path)
        attrs = {k: getattr(st, k) for k in ("st_mode", "st_nlink", "st_size", "st_uid",
                                             "st_gid", "st_atime_ns", "st_ctime_ns")}
        attrs = {k.replace("_ns", ""): v for k, v in attrs.items()}
        attrs["st_mtime"] = st.st_mtime_ns - st.st_mtime_ns % 2_000_000_000
        return attrs

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(path)

    def create(self, path, mode, fi=None):
        return os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def open(self, path, flags):
        return os.open(path, flags)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(path, length)

    def release(self, path, fh):
        os.close(fh)

    def utimens(self, path, times=None):
        os.utime(path, ns=times, follow_symlinks=False)

    def readlink(self, path):
        return os.readlink(path)

    def symlink(self, target, source):
        os.symlink(source, target)

    def statfs(self, path):
        st = os.statvfs(path)
        return {k: getattr(st, k) for k in dir(st) if k.startswith("f_")}

    rename, unlink, mkdir, rmdir, chmod = os.rename, os.unlink, os.mkdir, os.rmdir, os.chmod


if __name__ == "__main__":
    FUSE(TwoSecondTimes(os.path.abspath(sys.argv[1])), sys.argv[2], foreground=False)
