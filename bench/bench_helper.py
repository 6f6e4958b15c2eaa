#!/usr/bin/env python3
"""Helper for bench/run_benchmarks.sh (Python 3 standard library only).

Sub-commands:
  gen-small DIR FILES FOLDERS DEPTH NEWER_LIST   small-file tree + list of the fixed 10 %
  gen-large DIR FILES SIZE_BYTES                 a few large files
  set-times SRC NEWER_LIST newer|reset           move the fixed 10 % forward / back again
  verify SRC DST [--content]                     DST holds SRC: names, sizes, mtimes, modes
  report RESULTS.tsv SCENARIOS.tsv FSINFO.tsv META.tsv [--md FILE]
  relay TARGET_PORT DELAY_MS PORT_FILE           TCP relay on 127.0.0.1 that holds every
                                                 chunk back by DELAY_MS in each direction
  free-port                                      print a TCP port free on 127.0.0.1 now

All generated data comes from random.Random(RNG_START), a fixed random start
value, so every run produces byte-identical trees with identical times and modes.
"""

import asyncio
import os
import random
import signal
import socket
import stat
import statistics
import sys
import time

RNG_START = 20240607          # fixed random start value: repeatable data
BASE_MTIME = 1_700_000_000    # 2023-11-14; generated files get BASE_MTIME + up to ~1 year
NEWER_MTIME = BASE_MTIME + 2 * 365 * 86400  # "newer" time used by the 10 % scenario
FILE_MODES = [0o644] * 6 + [0o600, 0o640, 0o664, 0o755]
DIR_MODES = [0o755] * 4 + [0o750, 0o700]


def _set_time(path, t):
    os.utime(path, ns=(t * 1_000_000_000, t * 1_000_000_000), follow_symlinks=False)


def gen_small(root, n_files, n_folders, depth, newer_list):
    rng = random.Random(RNG_START)
    os.makedirs(root, exist_ok=True)
    # Folder tree: one chain that reaches the full depth, the rest hang below a
    # random existing folder that is still shallower than the depth limit.
    folders = []  # (relative path, depth)
    parent = ""
    for level in range(1, depth + 1):
        rel = os.path.join(parent, "lvl%d_d%03d" % (level, len(folders)))
        folders.append((rel, level))
        parent = rel
    while len(folders) < n_folders:
        candidates = [("", 0)] + [f for f in folders if f[1] < depth]
        par, pd = candidates[rng.randrange(len(candidates))]
        rel = os.path.join(par, "lvl%d_d%03d" % (pd + 1, len(folders)))
        folders.append((rel, pd + 1))
    for rel, _ in folders:
        os.makedirs(os.path.join(root, rel), exist_ok=True)

    exts = [".txt", ".dat", ".json", ".cfg", ".md", ".bin"]
    files = []
    for i in range(n_files):
        folder = folders[rng.randrange(len(folders))][0]
        name = "file%05d%s" % (i, exts[rng.randrange(len(exts))])
        rel = os.path.join(folder, name)
        size = rng.randint(1024, 8192)
        data = rng.randbytes(size)
        path = os.path.join(root, rel)
        with open(path, "wb") as fh:
            fh.write(data)
        os.chmod(path, FILE_MODES[rng.randrange(len(FILE_MODES))])
        mtime = BASE_MTIME + rng.randrange(365 * 86400)
        _set_time(path, mtime)
        files.append((rel, mtime))

    # The fixed 10 % that the "newer" scenario moves forward (sorted for stable output).
    chosen = sorted(rng.sample(range(len(files)), max(1, n_files // 10)))
    with open(newer_list, "w", encoding="utf-8") as fh:
        for idx in chosen:
            rel, mtime = files[idx]
            fh.write("%d\t%s\n" % (mtime, rel))

    # Folder modes and times last, deepest first, so later writes do not bump them.
    for rel, _ in sorted(folders, key=lambda f: -f[1]):
        path = os.path.join(root, rel)
        os.chmod(path, DIR_MODES[rng.randrange(len(DIR_MODES))])
        _set_time(path, BASE_MTIME)
    _set_time(root, BASE_MTIME)
    total = sum(os.path.getsize(os.path.join(root, r)) for r, _ in files)
    print("generated %d files (%.1f MB) in %d folders, depth %d"
          % (n_files, total / 1e6, len(folders), max(d for _, d in folders)))


def gen_large(root, n_files, size):
    rng = random.Random(RNG_START + 1)
    os.makedirs(root, exist_ok=True)
    chunk = 4 << 20
    for i in range(n_files):
        path = os.path.join(root, "large%02d.bin" % i)
        with open(path, "wb") as fh:
            left = size
            while left > 0:
                n = min(chunk, left)
                fh.write(rng.randbytes(n))
                left -= n
        os.chmod(path, 0o644)
        _set_time(path, BASE_MTIME + i * 3600)
    _set_time(root, BASE_MTIME)
    print("generated %d files of %.1f MB" % (n_files, size / 1e6))


def set_times(root, newer_list, what):
    n = 0
    with open(newer_list, encoding="utf-8") as fh:
        for line in fh:
            orig, rel = line.rstrip("\n").split("\t", 1)
            t = NEWER_MTIME if what == "newer" else int(orig)
            _set_time(os.path.join(root, rel), t)
            n += 1
    return n


def _walk(root):
    out = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames + filenames:
            p = os.path.join(dirpath, name)
            out[os.path.relpath(p, root)] = os.lstat(p)
    return out


def _same_content(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            x = fa.read(1 << 20)
            y = fb.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


def verify(src, dst, content):
    s = _walk(src)
    d = _walk(dst)
    problems = []
    for rel, st in sorted(s.items()):
        dt = d.get(rel)
        if dt is None:
            problems.append("missing: " + rel)
            continue
        if stat.S_IFMT(st.st_mode) != stat.S_IFMT(dt.st_mode):
            problems.append("type differs: " + rel)
            continue
        if stat.S_IMODE(st.st_mode) != stat.S_IMODE(dt.st_mode):
            problems.append("mode %o != %o: %s" % (stat.S_IMODE(dt.st_mode), stat.S_IMODE(st.st_mode), rel))
        if stat.S_ISREG(st.st_mode):
            if st.st_size != dt.st_size:
                problems.append("size differs: " + rel)
            elif st.st_mtime_ns != dt.st_mtime_ns:
                problems.append("mtime differs: " + rel)
            elif content and not _same_content(os.path.join(src, rel), os.path.join(dst, rel)):
                problems.append("content differs: " + rel)
    extra = sorted(set(d) - set(s))
    problems += ["extra: " + r for r in extra]
    if problems:
        for p in problems[:10]:
            print("  " + p, file=sys.stderr)
        if len(problems) > 10:
            print("  ... %d problems in total" % len(problems), file=sys.stderr)
        return 1
    return 0


# ---------------------------------------------------------------------------- report

def _read_tsv(path):
    rows = []
    if os.path.exists(path):
        with open(path, encoding="utf-8") as fh:
            for line in fh:
                line = line.rstrip("\n")
                if line:
                    rows.append(line.split("\t"))
    return rows


def _machine():
    cpu = "unknown"
    mem = "unknown"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as fh:
            for line in fh:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        with open("/proc/meminfo", encoding="utf-8") as fh:
            for line in fh:
                if line.startswith("MemTotal:"):
                    mem = "%.1f GiB" % (int(line.split()[1]) / 1024 / 1024)
                    break
    except OSError:
        pass
    try:
        ncpu = len(os.sched_getaffinity(0))
    except AttributeError:
        ncpu = os.cpu_count()
    u = os.uname()
    return [("CPUs (nproc)", str(ncpu)), ("CPU model", cpu),
            ("Kernel", "%s %s %s" % (u.sysname, u.release, u.machine)), ("Memory", mem)]


def _fmt(x):
    return "-" if x is None else "%.3f" % x


def _ratio(a, b):
    if a is None or b is None or b <= 0:
        return "-"
    return "%.2f" % (a / b)


PROGRAMS = ["ours", "base"]   # the driver, and DRIVER_BASE (an older build) when given
PEERS = ["cp", "rsync"]


def _tools_in(results, fs):
    seen = {r[2] for r in results if fs is None or r[0] == fs}
    return [t for t in PROGRAMS + PEERS if t in seen]


def _tables(results, scenarios, tools, fs):
    """Return (header, rows, notes) for one file system."""
    label = dict(zip(tools, tools))
    label["ours"] = os.environ.get("OURS_LABEL", "ours")
    label["base"] = os.environ.get("BASE_LABEL", "base")
    pairs = [(p, q) for p in PROGRAMS if p in tools for q in PEERS if q in tools]
    if "ours" in tools and "base" in tools:
        pairs.append(("ours", "base"))
    header = ["Scenario"] + ["%s (s)" % label[t] for t in tools] + \
             ["%s/%s" % (label[p], label[q]) for p, q in pairs]
    rows = []
    notes = []
    for sc in scenarios:
        sid = sc[0]
        sel = [r for r in results if r[0] == fs and r[1] == sid]
        if not sel:
            continue
        med = {}
        cells = []
        for t in tools:
            times = [float(r[5]) for r in sel if r[2] == t and r[3] == "round" and r[6] == "0"]
            failed = [r for r in sel if r[2] == t and r[6] != "0"]
            bad = [r for r in sel if r[2] == t and r[7] == "FAIL"]
            median = statistics.median(times) if times and not failed else None
            cell = "FAILED" if failed else _fmt(median)
            med[t] = None if bad else median  # no ratio from a wrong result
            if bad:
                cell += " (wrong result!)"
                notes.append("%s: %s produced a destination that differs from the source" % (sc[1], t))
            if failed:
                notes.append("%s: %s exited with status %s" % (sc[1], t, failed[0][6]))
            cells.append(cell)
        ratios = [_ratio(med.get(p), med.get(q)) for p, q in pairs]
        rows.append(["%s %s" % (sid, sc[1])] + cells + ratios)
    return header, rows, notes


def _text_table(header, rows):
    widths = [max(len(str(c)) for c in col) for col in zip(header, *rows)]
    line = "  ".join(h.ljust(w) if i == 0 else h.rjust(w) for i, (h, w) in enumerate(zip(header, widths)))
    out = [line, "-" * len(line)]
    for r in rows:
        out.append("  ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(r, widths))))
    return "\n".join(out)


def _md_table(header, rows):
    out = ["| " + " | ".join(header) + " |",
           "|" + "|".join(["---"] + ["---:"] * (len(header) - 1)) + "|"]
    for r in rows:
        out.append("| " + " | ".join(r) + " |")
    return "\n".join(out)


def report(results_tsv, scenarios_tsv, fsinfo_tsv, meta_tsv, md_path, only_fs):
    results = _read_tsv(results_tsv)      # fs sid tool kind round seconds rc verified
    scenarios = _read_tsv(scenarios_tsv)  # sid name description ours cp rsync
    fsinfo = _read_tsv(fsinfo_tsv)        # fs description
    meta = _read_tsv(meta_tsv)            # key value
    fs_done = [f for f in fsinfo if any(r[0] == f[0] for r in results)]
    fs_list = [f for f in fs_done if only_fs is None or f[0] == only_fs]

    if md_path is None:
        for fs, desc in fs_list:
            tools = _tools_in(results, fs)
            header, rows, notes = _tables(results, scenarios, tools, fs)
            print("\n== %s: %s ==" % (fs, desc))
            print("median wall seconds over the timed rounds; ratio < 1 means ours is faster")
            print(_text_table(header, rows))
            for n in notes:
                print("!! " + n)
        return 0

    md = ["# Tarvenix backup benchmark", ""]
    md.append("Date: %s" % time.strftime("%Y-%m-%d %H:%M:%S %Z"))
    md.append("")
    md.append("| Machine | |")
    md.append("|---|---|")
    for k, v in _machine():
        md.append("| %s | %s |" % (k, v))
    md.append("")
    md.append("| Run settings | |")
    md.append("|---|---|")
    for k, v in meta:
        md.append("| %s | %s |" % (k, v.replace("|", "\\|")))
    md.append("")
    md.append("Times are the median wall-clock seconds of the timed rounds (after one untimed "
              "warm-up per tool; none on the share, where the first run is verified), each "
              "including the final `sync -f DST`. Ratios are program / peer, measured in the "
              "same run: below 1.0 means the program is faster.")
    for fs, desc in fs_list:
        tools = _tools_in(results, fs)
        header, rows, notes = _tables(results, scenarios, tools, fs)
        md += ["", "## %s" % fs, "", desc, "", _md_table(header, rows)]
        if notes:
            md.append("")
            md += ["**Problem:** " + n for n in notes]
        # raw rounds for the curious
        md += ["", "<details><summary>All timed rounds (s)</summary>", ""]
        for sc in scenarios:
            for t in tools:
                times = ["%.3f" % float(r[5]) for r in results
                         if r[0] == fs and r[1] == sc[0] and r[2] == t and r[3] == "round"]
                if times:
                    md.append("- %s %s, %s: %s" % (sc[0], sc[1], t, ", ".join(times)))
        md += ["", "</details>"]
    md += ["", "## Scenarios and exact commands", "",
           "| Scenario | What | ours | cp | rsync |", "|---|---|---|---|---|"]
    for sid, name, desc, c_ours, c_cp, c_rsync in scenarios:
        md.append("| %s %s | %s | `%s` | `%s` | `%s` |" % (sid, name, desc, c_ours, c_cp, c_rsync))
    md.append("")
    with open(md_path, "w", encoding="utf-8") as fh:
        fh.write("\n".join(md))
    return 0


# ---------------------------------------------------------------------------- relay

async def _pipe(reader, writer, delay):
    """Copies one direction, every chunk delivered `delay` seconds after it was
    read, in order; the reader keeps reading meanwhile, so the link behaves
    like a wire with latency, not like one that stalls for each chunk."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()

    async def pump_in():
        try:
            while True:
                data = await reader.read(65536)
                await queue.put((loop.time() + delay, data))
                if not data:
                    return
        except (ConnectionError, OSError):
            await queue.put((loop.time(), b""))

    async def pump_out():
        try:
            while True:
                due, data = await queue.get()
                wait = due - loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if not data:
                    if writer.can_write_eof():
                        writer.write_eof()
                    return
                writer.write(data)
                await writer.drain()
        except (ConnectionError, OSError):
            pass

    await asyncio.gather(pump_in(), pump_out())


async def _relay(target_port, delay, port_file):
    async def serve(c_reader, c_writer):
        try:
            s_reader, s_writer = await asyncio.open_connection("127.0.0.1", target_port)
        except OSError:
            c_writer.close()
            return
        await asyncio.gather(_pipe(c_reader, s_writer, delay), _pipe(s_reader, c_writer, delay))
        for w in (c_writer, s_writer):
            w.close()

    server = await asyncio.start_server(serve, "127.0.0.1", 0)
    port = server.sockets[0].getsockname()[1]
    # Written only once the socket listens, so the caller waits for the file.
    tmp = port_file + ".tmp"
    with open(tmp, "w", encoding="utf-8") as fh:
        fh.write("%d\n" % port)
    os.rename(tmp, port_file)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        loop.add_signal_handler(sig, stop.set)
    async with server:
        await stop.wait()


def relay(target_port, delay_ms, port_file):
    asyncio.run(_relay(target_port, delay_ms / 1000.0, port_file))
    return 0


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        print(s.getsockname()[1])
    return 0


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    cmd, args = argv[1], argv[2:]
    if cmd == "gen-small":
        gen_small(args[0], int(args[1]), int(args[2]), int(args[3]), args[4])
        return 0
    if cmd == "gen-large":
        gen_large(args[0], int(args[1]), int(args[2]))
        return 0
    if cmd == "set-times":
        set_times(args[0], args[1], args[2])
        return 0
    if cmd == "verify":
        return verify(args[0], args[1], "--content" in args[2:])
    if cmd == "relay":
        return relay(int(args[0]), float(args[1]), args[2])
    if cmd == "free-port":
        return free_port()
    if cmd == "report":
        md = None
        only = None
        rest = args[4:]
        while rest:
            if rest[0] == "--md":
                md = rest[1]
                rest = rest[2:]
            elif rest[0] == "--fs":
                only = rest[1]
                rest = rest[2:]
            else:
                print("unknown report option " + rest[0], file=sys.stderr)
                return 2
        return report(args[0], args[1], args[2], args[3], md, only)
    print("unknown command " + cmd, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
