#!/usr/bin/python3
# Usage: bench/fuzz/run.py --seconds N | --runs N [--max-seconds S] [--build DIR] [TARGET ...]
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
        cmd.append(f"-runs={args.runs}")
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
    try:
        p = subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                           errors="replace", timeout=(limit or 86400) + 120)
        out, code = p.stderr, p.returncode
    except subprocess.TimeoutExpired as e:
        out, code = (e.stderr or b"").decode(errors="replace") if isinstance(e.stderr, bytes) else (e.stderr or ""), -1
    wall = time.monotonic() - start
    stat = dict(re.findall(r"^stat::(\w+):\s+(\d+)", out, re.M))
    execs = int(stat.get("number_of_executed_units", 0))
    corp = re.findall(r"corp: (\d+)/", out)
    new = findings(artifacts, name) - before
    failed = code != 0 or bool(new)
    if failed:
        log = os.path.join(artifacts, name + ".log")
        with open(log, "w") as f:
            f.write(out)
    return {"name": name, "execs": execs, "rate": int(stat.get("average_exec_per_sec", 0)),
            "corpus": int(corp[-1]) if corp else len(os.listdir(corpus)), "findings": len(new) or int(failed),
            "wall": wall, "artifacts": sorted(new)}


def main():
    ap = argparse.ArgumentParser(description="Runs the fuzz targets of the sanitizer tree.")
    mode = ap.add_mutually_exclusive_group(required=True)
    mode.add_argument("--seconds", type=int, help="time per target")
    mode.add_argument("--runs", type=int, help="executions per target")
    ap.add_argument("--max-seconds", type=int, default=0, help="with --runs: stop a target after this long")
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "native-asan"))
    ap.add_argument("--jobs", type=int, default=2)
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
