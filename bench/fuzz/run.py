#!/usr/bin/python3
# Usage: bench/fuzz/run.py --seconds N | --runs N [--max-seconds S] [--jobs J] [--workers W] [--build DIR] [TARGET ...]
#   Runs every fuzz target of the sanitizer tree (build/native-asan), two at a time, and prints
#   one line per target: executions, exec/s, corpus size, findings. Exits 1 on any finding.
import argparse
import concurrent.futures
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FINDING_PREFIXES = ("crash-", "leak-", "timeout-", "oom-")


def targets(build):
    listing = os.path.join(build, "tests", "fuzz", "targets.txt")
    with open(listing) as f:
        rows = [line.split() for line in f if line.strip()]
    return [(name, int(max_len)) for name, max_len in rows]


def findings(artifacts, name):
    if not os.path.isdir(artifacts):
        return set()
    return {f for f in os.listdir(artifacts) if f.startswith(name + "-") and
            f[len(name) + 1:].startswith(FINDING_PREFIXES)}


def run(build, name, max_len, args):
    fuzz_dir = os.path.join(build, "tests", "fuzz")
    exe = os.path.join(fuzz_dir, "fuzz_" + name)
    corpus = os.path.join(fuzz_dir, "corpus", name)
    artifacts = os.path.join(fuzz_dir, "artifacts")
    os.makedirs(corpus, exist_ok=True)
    os.makedirs(artifacts, exist_ok=True)
    before = findings(artifacts, name)
    cmd = [exe, f"-max_len={max_len}", "-timeout=10", "-print_final_stats=1",
           f"-artifact_prefix={artifacts}/{name}-"]
    limit = args.seconds if args.seconds else args.max_seconds
    if args.runs:
        # Workers share the corpus folder (libFuzzer reloads it) and split the runs.
        cmd.append(f"-runs={-(-args.runs // args.workers)}")
    if limit:
        cmd.append(f"-max_total_time={limit}")
    # New inputs go to the build tree's corpus; the seeds in git are only read.
    cmd += [corpus, os.path.join(ROOT, "tests", "fuzz", name, "corpus")]
    # Allocation stacks cost a third of a run and only decorate a report:
    # rerun a finding's input by hand for them.
    env = dict(os.environ)
    env.setdefault("ASAN_OPTIONS", "malloc_context_size=0:detect_leaks=1")
    env.setdefault("UBSAN_OPTIONS", "halt_on_error=1:print_stacktrace=1")
    start = time.monotonic()
    procs = [subprocess.Popen(cmd + [f"-seed={worker + 1}"] if args.workers > 1 else cmd, env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace")
             for worker in range(args.workers)]

    def finish(p):
        # Each worker's log is read as it comes: a full pipe would stall it.
        try:
            return p.communicate(timeout=max(1, (limit or 86400) + 120 - (time.monotonic() - start)))[1] or "", p.returncode
        except subprocess.TimeoutExpired:
            p.kill()
            return p.communicate()[1] or "", -1

    with concurrent.futures.ThreadPoolExecutor(max_workers=len(procs)) as pool:
        outs, codes = zip(*pool.map(finish, procs))
    wall = time.monotonic() - start
    stats = [dict(re.findall(r"^stat::(\w+):\s+(\d+)", out, re.M)) for out in outs]
    execs = sum(int(st.get("number_of_executed_units", 0)) for st in stats)
    rate = sum(int(st.get("average_exec_per_sec", 0)) for st in stats)
    # One worker's count is only its share: with several, the shared folder tells.
    corp = re.findall(r"corp: (\d+)/", outs[0]) if args.workers == 1 else []
    new = findings(artifacts, name) - before
    failed = any(codes) or bool(new)
    if failed:
        log = os.path.join(artifacts, name + ".log")
        with open(log, "w") as f:
            f.write("\n".join(outs))
    return {"name": name, "execs": execs, "rate": rate,
            "corpus": int(corp[-1]) if corp else len(os.listdir(corpus)), "findings": len(new) or int(failed),
            "wall": wall, "artifacts": sorted(new)}


def main():
    ap = argparse.ArgumentParser(description="Runs the fuzz targets of the sanitizer tree.")
    mode = ap.add_mutually_exclusive_group(required=True)
    mode.add_argument("--seconds", type=int, help="time per target")
    mode.add_argument("--runs", type=int, help="executions per target")
    ap.add_argument("--max-seconds", type=int, default=0, help="with --runs: stop a target after this long")
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "native-asan"))
    ap.add_argument("--jobs", type=int, default=2, help="targets run at once")
    ap.add_argument("--workers", type=int, default=1, help="processes per target on one corpus, runs split")
    ap.add_argument("only", nargs="*", help="targets to run (default: all)")
    args = ap.parse_args()
    chosen = [t for t in targets(args.build) if not args.only or t[0] in args.only]
    print(f"{'target':<16}{'executions':>14}{'exec/s':>10}{'corpus':>8}{'findings':>10}{'wall s':>8}", flush=True)
    bad = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for r in pool.map(lambda t: run(args.build, t[0], t[1], args), chosen):
            print(f"{r['name']:<16}{r['execs']:>14}{r['rate']:>10}{r['corpus']:>8}{r['findings']:>10}"
                  f"{r['wall']:>8.0f}", flush=True)
            for a in r["artifacts"]:
                print(f"    finding: {a}", flush=True)
            bad += r["findings"]
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
