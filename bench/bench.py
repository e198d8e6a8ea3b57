#!/usr/bin/env python3
"""Times quillmark-cli on a generated corpus and prints input MB/s and peak memory.

    bench/bench.py [--size MIB] [--runs N] [--program PATH]

Builds the release programs unless --program is given, generates the corpus
into bench/out/ (kept between runs), and converts it several ways, quoting
two of the twelve columns. Figures are medians; this is a measurement, not a
test, and asserts nothing.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "bench", "out")


def build():
    subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(ROOT, "build", "release", "src", "cli", "quillmark-cli")


def corpus(size_mib):
    prefix = os.path.join(OUT, f"corpus-{size_mib}")
    if not os.path.exists(prefix + ".sjis.csv"):
        os.makedirs(OUT, exist_ok=True)
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "generate.py"), str(size_mib), prefix],
                       check=True)
    return prefix


def measure(command, env):
    """Wall seconds and peak resident MiB of one run."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"failed: {' '.join(command)}")
    return elapsed, usage.ru_maxrss / 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", type=float, default=256)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--program")
    args = parser.parse_args()

    program = args.program or build()
    prefix = corpus(args.size)
    target = os.path.join(OUT, "target.csv")
    env = dict(os.environ, LC_ALL="ja_JP.UTF-8")
    cases = [
        ("UTF-8 -> UTF-8", prefix + ".utf8.csv", "1"),
        ("UTF-8 -> ANSI (932)", prefix + ".utf8.csv", "0"),
        ("Shift_JIS -> UTF-8", prefix + ".sjis.csv", "1"),
        ("Shift_JIS -> ANSI (932)", prefix + ".sjis.csv", "0"),
    ]
    print(f"{'conversion':<26} {'input MiB':>10} {'seconds':>8} {'MiB/s':>8} {'peak MiB':>9}")
    for name, source, encoding in cases:
        size = os.path.getsize(source) / 2**20
        runs = [measure([program, "/source:" + source, "/target:" + target, "/encoding:" + encoding,
                         "/quote:1,10"], env) for _ in range(args.runs)]
        seconds = statistics.median(r[0] for r in runs)
        peak = max(r[1] for r in runs)
        print(f"{name:<26} {size:>10.1f} {seconds:>8.2f} {size / seconds:>8.1f} {peak:>9.0f}")
    os.remove(target)


if __name__ == "__main__":
    main()
