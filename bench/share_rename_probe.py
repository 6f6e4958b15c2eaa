#!/usr/bin/env python3
"""Where a share serialises a copier's round trips: files of 4 KB written
into a fresh folder of a mounted share in one of three ways, by a number of
threads, timed until written and flushed.

  direct  the file made under its own name (as cp does; no safe replace)
  same    a temporary file made in the destination folder, renamed there
  stage   a temporary file made in a staging folder of the thread's own
          beside it, renamed into the destination folder
  spread-same, spread-stage
          as same and stage, but each thread fills a destination folder of
          its own (MODE:THREADS:FOLDERS: the threads share FOLDERS folders
          in turn): whether renames into different folders wait for each
          other (Linux takes one lock a file system for a rename between
          two folders, held while the share answers)
  lookups the renames alone, one after the other (THREADS is ignored), of
          files staged beforehand: right after they were made, 2 s later,
          with each temporary file and then also its new name looked at
          just before, and over old files of the new names; and a status
          of a missing name, for one round trip. Whether anything looked
          up beforehand takes work out of a rename.

Usage: bench/share_rename_probe.py MOUNTED_FOLDER [FILES] [MODE:THREADS[:FOLDERS] ...]
       (default: 300 files; direct:1 same:1 same:16 stage:16 direct:16)
Writes only below MOUNTED_FOLDER, into folders it makes and removes again.
Mount the share as bench/run_benchmarks.sh does (sshfs through the relay of
bench/bench_helper.py) so round trips dominate.
"""
import os
import queue
import shutil
import sys
import threading
import time
import uuid

DATA = os.urandom(4096)


def run(root, files, mode, threads, nfolders):
    dst = os.path.join(root, f"probe-{mode}-{threads}-{uuid.uuid4().hex[:8]}")
    os.mkdir(dst)
    spread = mode.startswith("spread-")
    kind = mode.removeprefix("spread-")
    folders = [dst]
    if spread:
        folders = [os.path.join(dst, f"d{k}") for k in range(nfolders or threads)]
        for folder in folders:
            os.mkdir(folder)
    stages = []
    if kind == "stage":
        for k in range(threads):
            stages.append(os.path.join(dst, f".stage{k}"))
            os.mkdir(stages[-1])
    todo = queue.Queue()
    for i in range(files):
        todo.put(i)

    def work(k):
        while True:
            try:
                i = todo.get_nowait()
            except queue.Empty:
                return
            folder = folders[k % len(folders)]
            final = os.path.join(folder, f"f{i}")
            if kind == "direct":
                temp = final
            elif kind == "same":
                temp = os.path.join(folder, f".tmp-{i}")
            else:
                temp = os.path.join(stages[k], f".tmp-{i}")
            fd = os.open(temp, os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o644)
            try:
                os.write(fd, DATA)
                os.utime(fd, (1e9, 1e9))
            finally:
                os.close(fd)
            if temp != final:
                os.rename(temp, final)

    start = time.monotonic()
    workers = [threading.Thread(target=work, args=(k,)) for k in range(threads)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    os.sync()
    seconds = time.monotonic() - start
    made = sum(len([n for n in os.listdir(f) if n.startswith("f")]) for f in folders)
    shutil.rmtree(dst)
    if made != files:
        raise SystemExit(f"{mode}:{threads} made {made} of {files} files")
    return seconds


def lookups(root, files):
    """Milliseconds a rename for each way of staging; see the usage."""
    out = {}
    ways = [("fresh", 0, False, False, False), ("after 2 s", 2, False, False, False),
            ("temp looked at", 2, True, False, False), ("both looked at", 2, True, True, False),
            ("over old files", 2, False, False, True)]
    for name, wait, temp_seen, new_seen, over_old in ways:
        base = os.path.join(root, f"probe-lookups-{uuid.uuid4().hex[:8]}")
        stage, dst = os.path.join(base, "stage"), os.path.join(base, "dst")
        os.makedirs(stage)
        os.mkdir(dst)
        for i in range(files):
            with open(os.path.join(stage, f"f{i}.tmp"), "wb") as f:
                f.write(DATA)
            if over_old:
                with open(os.path.join(dst, f"f{i}"), "wb") as f:
                    f.write(b"old")
        time.sleep(wait)  # ages what the kernel keeps of the names
        start = time.monotonic()
        for i in range(files):
            if temp_seen:
                os.stat(os.path.join(stage, f"f{i}.tmp"))
            if new_seen:
                try:
                    os.stat(os.path.join(dst, f"f{i}"))
                except FileNotFoundError:
                    pass
            os.rename(os.path.join(stage, f"f{i}.tmp"), os.path.join(dst, f"f{i}"))
        # What was looked at beforehand is counted in: it is a saving only
        # where it costs less than it takes out of the rename.
        out[name] = (time.monotonic() - start) / files * 1000
        shutil.rmtree(base)
    start = time.monotonic()
    for i in range(files):
        try:
            os.stat(os.path.join(root, f"missing-{uuid.uuid4().hex}"))
        except FileNotFoundError:
            pass
    out["status of a missing name"] = (time.monotonic() - start) / files * 1000
    return out


def main(argv):
    if len(argv) < 2 or argv[1] in ("-h", "--help"):
        print(__doc__)
        return 2
    root = argv[1]
    files = int(argv[2]) if len(argv) > 2 else 300
    cases = argv[3:] or ["direct:1", "same:1", "same:16", "stage:16", "direct:16"]
    base = None
    for case in cases:
        mode, threads, *nfolders = case.split(":")
        if mode == "lookups":
            for name, ms in lookups(root, files).items():
                print(f"lookups    {name:26} {ms:6.2f} ms each", flush=True)
            continue
        seconds = run(root, files, mode, int(threads), int(nfolders[0]) if nfolders else 0)
        base = base or seconds
        print(f"{case:10} {seconds:7.2f} s  {seconds / base:5.2f} of {cases[0]}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
