#!/usr/bin/env python3
"""The import race: synthetic gate-level Verilog of 1e5 and 1e6 leaf cells (bench/gen_verilog)
taken in by `nyx import`, and by the peers OpenSTA (read_liberty + read_verilog + link_design) and
Yosys (read_verilog) when they are installed, on the same files in the same run. One table:

  tool, leaf cells, wall seconds, processor seconds (the process and its children: nyx import
  and its compiler), peak resident MB, microseconds (wall) and bytes per leaf cell, and our
  ratios to each peer in wall time and peak memory (ours / theirs: below 1 is better)

plus the save of the imported library and its cold load (`nyx walk --depth 1` of the saved
design: its occurrence tree reads every stored view; and `nyx stats` of the top view alone), per
leaf cell; and, marked [reuse], a file of the same number of leaf cells as occurrences of a few
small modules: `nyx import --flat` (import, occurrence tree and flat nets in one process) against
OpenSTA's read and link of it (--no-reuse leaves it out).

Each row is one child process, started after a sync (so that the writeback of what earlier steps
wrote is not charged to it), measured by wait4: wall clock from start to exit, peak resident
set (the largest of the process and the children it waited for: for nyx import that is the
library's process or the compiler's, whichever is larger). `nyx import` also reports its own
figures; the script prints the library's and the compiler's split below the table.

  bench/race/race.py [--build build/default] [--sizes 100000,1000000] [--mode unique]
                     [--work DIR] [--install] [--keep] [--no-reuse]

--install installs the peers through the system's packages (apt-get: opensta, yosys, and
qflow-tech-osu018 for the liberty file whose cell names gen_verilog uses); without it a peer that
is not installed is reported and skipped. The files go to --work (default a temporary
directory, removed unless --keep).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

LIBERTY = "/usr/share/qflow/tech/osu018/osu018_stdcells.lib"


def run(cmd, cwd, env=None, stdin=None):
    """Runs cmd; returns (wall s, peak RSS bytes, exit status, stdout, stderr); run.cpu holds its
    processor seconds. Measured by GNU time when installed (a child forked from this script
    would count the script's own memory as its peak before it execs), else by wait4."""
    out = tempfile.TemporaryFile()
    err = tempfile.TemporaryFile()
    timing = tempfile.NamedTemporaryFile(delete=False)
    timing.close()
    # Files the step before wrote (a saved library, the source's copy) go to the disk first, so
    # that their writeback is not charged to this run.
    os.sync()
    gnu_time = os.access("/usr/bin/time", os.X_OK)
    if gnu_time:
        cmd = ["/usr/bin/time", "-f", "%e %M %U %S", "-o", timing.name] + cmd
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdin=subprocess.PIPE if stdin else None,
                            stdout=out, stderr=err)
    if stdin:
        proc.stdin.write(stdin.encode())
        proc.stdin.close()
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.monotonic() - t0
    rss = usage.ru_maxrss * 1024
    run.cpu = usage.ru_utime + usage.ru_stime  # the process and the children it waited for
    if gnu_time:
        with open(timing.name) as f:
            fields = f.read().split()[-4:]
        wall, rss, run.cpu = float(fields[0]), int(fields[1]) * 1024, float(fields[2]) + float(fields[3])
    os.unlink(timing.name)
    out.seek(0)
    err.seek(0)
    return wall, rss, os.waitstatus_to_exitcode(status), out.read().decode(errors="replace"), \
        err.read().decode(errors="replace")


def install_peers():
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    if sudo and shutil.which("sudo") is None:
        print("race: not root and no sudo: peers not installed", file=sys.stderr)
        return
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    r = subprocess.run(sudo + ["apt-get", "install", "-y", "opensta", "yosys", "qflow-tech-osu018"],
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if r.returncode != 0:
        print("race: apt-get install failed:\n" + r.stderr.decode(errors="replace")[-2000:], file=sys.stderr)


def available_memory():
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemAvailable:"):
                return int(line.split()[1]) * 1024
    return 0


def report_fields(text):
    fields = {}
    for line in text.splitlines():
        name, _, value = line.partition("\t")
        fields[name] = value
    return fields


def race_one(args, cells, work, nyx, gen, rows, notes):
    d = os.path.join(work, str(cells))
    os.makedirs(d, exist_ok=True)
    design, stubs = os.path.join(d, "design.v"), os.path.join(d, "cells.v")
    r = subprocess.run([gen, "--mode", args.mode, "--cells", str(cells), "--leaf", str(args.leaf),
                        "--fanout", str(args.fanout), "--out", design, "--stubs", stubs],
                       stderr=subprocess.PIPE, check=True)
    notes.append(f"{cells}: {r.stderr.decode().strip()}")
    env = dict(os.environ, ZIL_NYX_LIBRARYMAP=".", ZIL_LOCATION_MAP="NO_MAP")

    # Ours: the import alone (compile through the protocol and build), then with --save.
    for lib in ("lib", "saved"):
        shutil.rmtree(os.path.join(d, lib), ignore_errors=True)
    wall, rss, rc, out, err = run([nyx, "import", "design.v", "--lib", "lib", "--cells", "cells.v"], d, env)
    if rc != 0:
        raise SystemExit(f"race: nyx import failed ({rc}):\n{err[-3000:]}")
    f = report_fields(out)
    leaves = int(f["leaf cells"])
    rows.append(("nyx import", leaves, wall, rss, run.cpu))
    notes.append(f"{cells}: nyx import: {f['modules']} modules, {f['instances']} instances, {f['nets']} nets; "
                 f"library {f['compile cpu s']} s CPU, peak {f['peak rss MB']} MB; compiler {f['compiler cpu s']} s "
                 f"CPU, peak {f['compiler peak rss MB']} MB")
    wall_s, _, rc, out, err = run([nyx, "import", "design.v", "--lib", "saved", "--cells", "cells.v", "--save"], d, env)
    if rc != 0:
        raise SystemExit(f"race: nyx import --save failed ({rc}):\n{err[-3000:]}")
    notes.append(f"{cells}: nyx import --save: {wall_s:.2f} s wall, of which save {report_fields(out)['save wall s']} s")
    env_saved = dict(env, ZIL_NYX_COMPILER_RULES=os.path.join(d, "saved", "nyxCompilers.rules"))
    wall, rss, rc, _, err = run([nyx, "walk", "saved", "top", "cfg", "--depth", "1"], d, env_saved)
    if rc != 0:
        raise SystemExit(f"race: nyx walk failed ({rc}):\n{err[-3000:]}")
    rows.append(("nyx cold load (tree)", leaves, wall, rss, run.cpu))
    wall, rss, rc, _, err = run([nyx, "stats", "saved", "top", "netlist"], d, env_saved)
    rows.append(("nyx stats (top view)", leaves, wall, rss, run.cpu))

    opensta(d, leaves, "", rows, notes)
    needed = cells * 9500 * 1.5  # Yosys keeps about 9.2 KB a cell: never push the machine into swap
    if shutil.which("yosys") and available_memory() < needed:
        notes.append(f"{cells}: Yosys skipped: it needs about {needed / 1e9:.1f} GB, "
                     f"{available_memory() / 1e9:.1f} GB are available")
    elif shutil.which("yosys"):
        wall, rss, rc, out, err = run(["yosys", "-q", "-p", "read_verilog design.v"], d)
        if rc != 0:
            notes.append(f"{cells}: Yosys failed ({rc}): {(out + err)[-500:]}")
        else:
            rows.append(("Yosys read_verilog", leaves, wall, rss, run.cpu))
    else:
        notes.append("Yosys is not installed: skipped (--install installs it)")


def opensta(d, leaves, suffix, rows, notes):
    """OpenSTA's read_liberty + read_verilog + link_design of d/design.v, as row "OpenSTA read+link" + suffix."""
    if not (shutil.which("sta") and os.path.exists(LIBERTY)):
        notes.append("OpenSTA (sta) or the osu018 liberty file is not installed: skipped (--install installs them)")
        return
    script = f"read_liberty {LIBERTY}\nread_verilog design.v\nlink_design top\nexit\n"
    wall, rss, rc, out, err = run(["sta", "-no_init", "-no_splash", "-exit", "/dev/stdin"], d, stdin=script)
    if rc != 0 or "Error" in out + err:
        notes.append(f"{leaves}: OpenSTA{suffix} failed ({rc}): {(out + err)[-500:]}")
    else:
        rows.append(("OpenSTA read+link" + suffix, leaves, wall, rss, run.cpu))


def race_reuse(args, cells, work, nyx, gen, rows, notes):
    """The reused-module file: the same number of leaf cells as occurrences of a few small modules
    (a file of some kilobytes). nyx imports it and builds the occurrence tree and the flat nets in
    the same process (nyx import --flat); OpenSTA links every occurrence."""
    d = os.path.join(work, f"{cells}-reuse")
    os.makedirs(d, exist_ok=True)
    r = subprocess.run([gen, "--mode", "reuse", "--cells", str(cells), "--out", os.path.join(d, "design.v"),
                        "--stubs", os.path.join(d, "cells.v")], stderr=subprocess.PIPE, check=True)
    notes.append(f"{cells} reuse: {r.stderr.decode().strip()}")
    env = dict(os.environ, ZIL_NYX_LIBRARYMAP=".", ZIL_LOCATION_MAP="NO_MAP")
    shutil.rmtree(os.path.join(d, "lib"), ignore_errors=True)
    wall, rss, rc, out, err = run([nyx, "import", "design.v", "--lib", "lib", "--cells", "cells.v", "--flat"], d, env)
    if rc != 0:
        raise SystemExit(f"race: nyx import --flat failed ({rc}):\n{err[-3000:]}")
    f = report_fields(out)
    leaves = int(f["leaf cells"])
    rows.append(("nyx import+tree+flat" + REUSE, leaves, wall, rss, run.cpu))
    notes.append(f"{cells} reuse: nyx import --flat: {f['modules']} modules, {f['global flat nets']} global flat nets; "
                 f"tree and flat nets {f['tree and flat nets wall s']} s wall")
    opensta(d, leaves, REUSE, rows, notes)


REUSE = " [reuse]"


def print_table(rows):
    peers = {(name, cells): (wall, rss) for name, cells, wall, rss, _ in rows if not name.startswith("nyx")}
    print(f"{'tool':30} {'leaf cells':>10} {'wall s':>7} {'cpu s':>7} {'peak MB':>8} {'us/cell':>7} {'B/cell':>6}"
          f"  {'/OpenSTA t':>10} {'mem':>6}  {'/Yosys t':>8} {'mem':>6}")
    for name, cells, wall, rss, cpu in rows:
        line = (f"{name:30} {cells:>10} {wall:>7.2f} {cpu:>7.2f} {rss / 1e6:>8.1f} {wall * 1e6 / cells:>7.2f}"
                f" {rss / cells:>6.0f}")
        if name.startswith("nyx"):
            suffix = REUSE if name.endswith(REUSE) else ""
            for peer, width in (("OpenSTA read+link", 10), ("Yosys read_verilog", 8)):
                p = peers.get((peer + suffix, cells))
                line += f"  {wall / p[0]:>{width}.3f} {rss / p[1]:>6.3f}" if p else f"  {'-':>{width}} {'-':>6}"
        print(line)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default="build/default")
    ap.add_argument("--sizes", default="100000,1000000")
    ap.add_argument("--mode", default="unique", choices=["unique", "reuse", "flat"])
    ap.add_argument("--leaf", type=int, default=1000, help="gates per leaf module (gen_verilog --leaf)")
    ap.add_argument("--fanout", type=int, default=10)
    ap.add_argument("--work")
    ap.add_argument("--install", action="store_true")
    ap.add_argument("--keep", action="store_true")
    ap.add_argument("--no-reuse", action="store_true", help="skip the reused-module file")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    nyx, gen = os.path.join(build, "tools", "nyx"), os.path.join(build, "bench", "gen_verilog")
    for p in (nyx, gen, os.path.join(build, "compilers", "nyxvc", "nyxvc")):
        if not os.access(p, os.X_OK):
            raise SystemExit(f"race: {p} is missing (cmake --build --preset default)")
    if args.install:
        install_peers()
    work = os.path.abspath(args.work) if args.work else tempfile.mkdtemp(prefix="nyx-race-")
    rows, notes = [], []
    try:
        for cells in (int(s) for s in args.sizes.split(",")):
            race_one(args, cells, work, nyx, gen, rows, notes)
            if not args.no_reuse:
                race_reuse(args, cells, work, nyx, gen, rows, notes)
    finally:
        if not args.keep and not args.work:
            shutil.rmtree(work, ignore_errors=True)
    print_table(rows)
    for n in notes:
        print("  " + n)


if __name__ == "__main__":
    main()
