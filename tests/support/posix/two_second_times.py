#!/usr/bin/python3
"""BACKING MOUNTPOINT: mounts BACKING again with times in 2 s steps, as Linux's vfat keeps them."""
import os
import sys

from fusepy import FUSE, FuseOSError, Operations


class TwoSecondTimes(Operations):
    use_ns = True

    def __call__(self, op, path, *args):
        try:  # a rename's new name is a mounted path too
            args = (sys.argv[1] + args[0],) if op == "rename" else args
            return getattr(self, op)(sys.argv[1] + path, *args)
        except OSError as e:
            raise FuseOSError(e.errno) from e

    def getattr(self, path, fh=None):
        st = os.lstat(path)
        attrs = {k: getattr(st, k) for k in ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid")}
        return dict(attrs, st_atime=st.st_atime_ns, st_ctime=st.st_ctime_ns,
                    st_mtime=st.st_mtime_ns - st.st_mtime_ns % 2_000_000_000)

    readdir = lambda self, path, fh: [".", ".."] + os.listdir(path)
    create = lambda self, path, mode, fi=None: os.open(path, os.O_WRONLY | os.O_CREAT, mode)
    read = lambda self, path, size, offset, fh: os.pread(fh, size, offset)
    write = lambda self, path, data, offset, fh: os.pwrite(fh, data, offset)
    utimens = lambda self, path, times=None: os.utime(path, ns=times, follow_symlinks=False)
    open, release = os.open, lambda self, path, fh: os.close(fh)
    rename, unlink, mkdir, rmdir, chmod = os.rename, os.unlink, os.mkdir, os.rmdir, os.chmod


FUSE(TwoSecondTimes(), sys.argv[2], foreground=False)
