#!/usr/bin/env python3
"""Times quillmark-cli against the usual tools on a generated corpus.

    bench/bench.py [--size MIB] [--runs N] [--program PATH] [--big GIB]
    bench/bench.py --shape all|SHAPE[,SHAPE...] [--before PATH] [--size MIB] [--runs N]

Builds the release programs unless --program is given, generates the corpus
into bench/out/ (kept between runs; UTF-8 and the same rows in Shift_JIS),
checks which peers are installed (iconv, Miller's mlr, python3) and prints
one table: median seconds, input MiB/s and peak memory of each run, and the
ratios the targets are stated in. Each command runs once untimed before its
N timed runs (7 by default), so that no row pays alone for a cold start
(this machine's first run after a pause is slow for every program). Every
run writes a new file: the previous
run's output is removed before the clock starts, for the programs that
replace it themselves as for those whose output the harness redirects. One
row more converts over the previous target, which quillmark-cli syncs to
disk before it replaces it. This measures; it asserts nothing.

With --shape, it prints one table over corpora of those shapes instead
(see bench/generate.py; "all" takes every shape): for each shape, cp and
iconv CP932 -> UTF-8 as the references, then quillmark-cli in each direction
and its column list, with seconds, MiB/s, peak memory and the ratio to the
reference (cp for UTF-8 -> UTF-8, iconv for the Shift_JIS sources, the
conversion for the column lists). With --before, a second program (an
earlier build) runs every quillmark row too, side by side with this one:
their runs take turns, so that a machine whose speed drifts favours neither.

With --big, it also converts a generated file of that many GiB, printing
time and peak memory, and checks the target against the in-memory
conversion (bench/InMemoryConvert.cpp) done piece by piece: the file is cut
into pieces of whole rows (every row has all twelve fields, so no piece
changes the padding), each piece is converted whole in memory, and the
joined results must have the target's checksum.
"""
import argparse
import hashlib
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "bench", "out")
QUOTE = "/quote:1,10"


def build():
    subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(ROOT, "build", "release", "src", "cli", "quillmark-cli")


SHAPES = ["business", "dense", "quoted", "multiline", "wide", "ragged"]


def corpus(size_mib, shape="business"):
    name = f"corpus-{size_mib:g}" if shape == "business" else f"corpus-{shape}-{size_mib:g}"
    prefix = os.path.join(OUT, name)
    if not os.path.exists(prefix + ".sjis.csv"):
        os.makedirs(OUT, exist_ok=True)
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "generate.py"), "--shape", shape,
                        str(size_mib), prefix], check=True)
    return prefix


def measure(command, env, stdout=None, fresh=None):
    """Wall seconds and peak resident MiB of one run. The file `fresh` is
    removed before the clock starts, so that no run pays for freeing the
    previous run's output (which a shell's redirection does untimed)."""
    if fresh and os.path.exists(fresh):
        os.remove(fresh)
    out = open(stdout, "wb") if stdout else subprocess.DEVNULL
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=out)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    if stdout:
        out.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"failed: {' '.join(command)}")
    return elapsed, usage.ru_maxrss / 1024


def median_run(command, env, runs, stdout=None, fresh=None):
    measure(command, env, stdout, fresh)  # warm-up, not counted
    results = [measure(command, env, stdout, fresh) for _ in range(runs)]
    return statistics.median(r[0] for r in results), max(r[1] for r in results)


def alternating_runs(commands, env, runs, fresh=None):
    """median_run for several commands whose runs take turns, so that a
    machine whose speed drifts during the runs favours none of them."""
    for command in commands.values():
        measure(command, env, fresh=fresh)  # warm-up, not counted
    results = {name: [] for name in commands}
    for _ in range(runs):
        for name, command in commands.items():
            results[name].append(measure(command, env, fresh=fresh))
    return {name: (statistics.median(r[0] for r in rs), max(r[1] for r in rs)) for name, rs in results.items()}


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def convert_big(program, source, encoding, env):
    """Converts a big file; its checksum. Run before check_big reads anything:
    a child's peak memory counts what this process held when it forked."""
    target = os.path.join(OUT, "big-target.csv")
    seconds, peak = measure([program, "/source:" + source, "/target:" + target, "/encoding:" + encoding, QUOTE], env)
    size = os.path.getsize(source) / 2**30
    print(f"big {os.path.basename(source)} ({size:.2f} GiB): {seconds:.1f} s, "
          f"{size * 1024 / seconds:.1f} MiB/s, peak {peak:.0f} MiB", flush=True)
    streamed = sha256(target)
    os.remove(target)
    return streamed


def check_big(program, source, encoding, streamed, env):
    inmemory = os.path.join(os.path.dirname(program), "..", "..", "bench", "quillmark_inmemory")
    piece, piece_target = os.path.join(OUT, "piece.csv"), os.path.join(OUT, "piece-target.csv")
    digest = hashlib.sha256()
    with open(source, "rb") as file:
        rest = b""
        while True:
            block = file.read(128 << 20)
            data = rest + block
            cut = data.rfind(b"\r\n") + 2 if block else len(data)
            if cut <= 1:
                cut = len(data)
            rest = data[cut:]
            if cut:
                with open(piece, "wb") as out:
                    out.write(data[:cut])
                subprocess.run([inmemory, piece, piece_target, encoding, QUOTE.split(":")[1]], env=env, check=True)
                with open(piece_target, "rb") as converted:
                    digest.update(converted.read())
            if not block:
                break
    os.remove(piece)
    os.remove(piece_target)
    same = digest.hexdigest() == streamed
    print(f"  {os.path.basename(source)} in memory, piece by piece: sha256 {digest.hexdigest()[:16]}; "
          f"streamed {streamed[:16]}: {'identical' if same else 'DIFFERENT'}", flush=True)


def shape_table(programs, shapes, size_mib, runs):
    """One table: every shape, the references and each program's runs."""
    env = dict(os.environ, LC_ALL="ja_JP.UTF-8")
    target = os.path.join(OUT, "target.csv")
    names = list(programs)
    head = f"{'shape':<10} {'run':<24} {'MiB':>6}"
    for name in names:
        head += f" | {name + ' s':>9} {'MiB/s':>7} {'peak':>5} {'ratio':>6}"
    print(head + "\n" + "-" * len(head), flush=True)
    for shape in shapes:
        prefix = corpus(size_mib, shape)
        utf8, sjis = prefix + ".utf8.csv", prefix + ".sjis.csv"
        quote = "/quote:1,10"
        seconds = {}

        def line(label, source, results, ratio):
            size = os.path.getsize(source) / 2**20
            text = f"{shape:<10} {label:<24} {size:>6.0f}"
            for name, (time, peak) in results.items():
                text += f" | {time:>9.3f} {size / time:>7.1f} {peak:>5.0f} {ratio(name, time):>6}"
            print(text, flush=True)

        for label, command, source, stdout in (
                ("cp (UTF-8)", ["cp", utf8, target], utf8, None),
                ("iconv CP932 -> UTF-8", ["iconv", "-f", "CP932", "-t", "UTF-8", sjis], sjis, target)):
            seconds[label] = median_run(command, env, runs, stdout, fresh=target)[0]
            line(label, source, {names[0]: (seconds[label], 0)}, lambda name, time: "")
        cases = [
            ("UTF-8 -> UTF-8", utf8, ["/encoding:1", quote], "cp (UTF-8)"),
            ("Shift_JIS -> ANSI 932", sjis, ["/encoding:0", quote], "iconv CP932 -> UTF-8"),
            ("Shift_JIS -> UTF-8", sjis, ["/encoding:1", quote], "iconv CP932 -> UTF-8"),
            ("UTF-8 -> ANSI 932", utf8, ["/encoding:0", quote], None),
            ("column list (UTF-8)", utf8, ["--list-columns"], "UTF-8 -> UTF-8"),
            ("column list (Shift_JIS)", sjis, ["--list-columns"], "Shift_JIS -> ANSI 932"),
        ]
        for label, source, switches, against in cases:
            commands = {}
            for name, program in programs.items():
                commands[name] = [program, "/source:" + source] + switches
                if switches[0] != "--list-columns":
                    commands[name].insert(2, "/target:" + target)
            results = alternating_runs(commands, env, runs, fresh=target)
            for name, result in results.items():
                seconds[(label, name)] = result[0]

            def ratio(name, time, against=against):
                if against is None:
                    return ""
                if against in seconds:  # a reference: throughput against it
                    return f"{seconds[against] / time:.2f}"
                return f"{time / seconds[(against, name)]:.2f}"  # a column list: time over the conversion's

            line(label, source, results, ratio)
    if os.path.exists(target):
        os.remove(target)
    print("ratio: throughput against cp (UTF-8 -> UTF-8) or iconv (Shift_JIS sources); "
          "for the column lists, their time over the conversion's", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--size", type=float, default=256)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--program")
    parser.add_argument("--big", type=float, default=0)
    parser.add_argument("--shape")
    parser.add_argument("--before")
    args = parser.parse_args()

    program = args.program or build()
    if args.shape:
        shapes = SHAPES if args.shape == "all" else args.shape.split(",")
        for shape in shapes:
            if shape not in SHAPES:
                raise SystemExit(f"unknown shape: {shape}")
        programs = {"after": program} if args.before else {"quillmark": program}
        if args.before:
            programs = {"before": args.before, **programs}
        shape_table(programs, shapes, args.size, args.runs)
        return
    prefix = corpus(args.size)
    utf8, sjis = prefix + ".utf8.csv", prefix + ".sjis.csv"
    target = os.path.join(OUT, "target.csv")
    env = dict(os.environ, LC_ALL="ja_JP.UTF-8")
    rows = {}

    def run(name, command, source, stdout=None, fresh=True):
        seconds, peak = median_run(command, env, args.runs, stdout, fresh=target if fresh else None)
        size = os.path.getsize(source) / 2**20
        rows[name] = seconds
        print(f"{name:<34} {size:>9.1f} {seconds:>8.2f} {size / seconds:>8.1f} {peak:>9.0f}", flush=True)

    print(f"{'run':<34} {'input MiB':>9} {'seconds':>8} {'MiB/s':>8} {'peak MiB':>9}")
    run("cp (UTF-8 file)", ["cp", utf8, target], utf8)
    run("cat (UTF-8 file)", ["cat", utf8], utf8, stdout=target)
    if shutil.which("iconv"):
        run("iconv CP932 -> UTF-8", ["iconv", "-f", "CP932", "-t", "UTF-8", sjis], sjis, stdout=target)
        run("iconv UTF-8 -> CP932", ["iconv", "-f", "UTF-8", "-t", "CP932", utf8], utf8, stdout=target)
    if shutil.which("mlr"):
        run("mlr --quote-all cat (UTF-8)", ["mlr", "--csv", "--quote-all", "cat", utf8], utf8, stdout=target)
    run("python csv, 2 columns (UTF-8)",
        [sys.executable, os.path.join(ROOT, "bench", "quote_columns.py"), utf8, target], utf8)
    cases = [
        ("quillmark UTF-8 -> UTF-8", utf8, "1"),
        ("quillmark Shift_JIS -> ANSI 932", sjis, "0"),
        ("quillmark Shift_JIS -> UTF-8", sjis, "1"),
        ("quillmark UTF-8 -> ANSI 932", utf8, "0"),
    ]
    for name, source, encoding in cases:
        run(name, [program, "/source:" + source, "/target:" + target, "/encoding:" + encoding, QUOTE], source)
    run("quillmark column list (UTF-8)", [program, "--list-columns", "/source:" + utf8], utf8)
    run("quillmark column list (Shift_JIS)", [program, "--list-columns", "/source:" + sjis], sjis)
    for label, source in (("UTF-8", utf8), ("Shift_JIS", sjis)):
        for encoding, written in (("1", "UTF-8"), ("0", "ANSI")):
            run(f"quillmark check {label} -> {written}",
                [program, "--check", "/source:" + source, "/encoding:" + encoding, QUOTE], source, stdout=target)
    # The same conversion over the target the run before wrote: a file that
    # replaces another is synced to disk first, so this waits for the disk.
    run("quillmark UTF-8 -> UTF-8, replacing", [program, "/source:" + utf8, "/target:" + target, "/encoding:1", QUOTE],
        utf8, fresh=False)

    small = os.path.join(OUT, "small.csv")
    with open(small, "w", encoding="utf-8", newline="") as file:
        file.write("ID,氏名,備考\r\n1,山田太郎,\"a,b\"\r\n2,佐藤花子,\r\n")
    small_runs = max(args.runs, 20)
    cat_small = statistics.median(measure(["cat", small], env, target, target)[0] for _ in range(small_runs))
    quill_small = statistics.median(
        measure([program, "/source:" + small, "/target:" + target, QUOTE], env, fresh=target)[0]
        for _ in range(small_runs))
    print(f"{'small file: cat / quillmark':<34} {cat_small * 1000:>8.2f} ms {quill_small * 1000:>8.2f} ms")

    def ratio(label, numerator, denominator, goal):
        if numerator in rows and denominator in rows:
            print(f"  {label:<58} {rows[denominator] / rows[numerator]:>6.2f}  (goal {goal})")

    print("\nratios (throughput of the first against the second)")
    ratio("1. quillmark UTF-8 -> UTF-8 vs cp", "quillmark UTF-8 -> UTF-8", "cp (UTF-8 file)", ">= 0.5")
    ratio("   quillmark UTF-8 -> UTF-8 vs cat", "quillmark UTF-8 -> UTF-8", "cat (UTF-8 file)", "")
    ratio("2. quillmark Shift_JIS -> ANSI vs iconv CP932 -> UTF-8", "quillmark Shift_JIS -> ANSI 932",
          "iconv CP932 -> UTF-8", ">= 2")
    ratio("2. quillmark Shift_JIS -> UTF-8 vs iconv CP932 -> UTF-8", "quillmark Shift_JIS -> UTF-8",
          "iconv CP932 -> UTF-8", ">= 2")
    ratio("3. quillmark UTF-8 -> ANSI vs iconv UTF-8 -> CP932", "quillmark UTF-8 -> ANSI 932",
          "iconv UTF-8 -> CP932", ">= 2")
    ratio("4. quillmark UTF-8 -> UTF-8 vs mlr --quote-all", "quillmark UTF-8 -> UTF-8",
          "mlr --quote-all cat (UTF-8)", ">= 10")
    ratio("   quillmark check UTF-8 -> UTF-8 vs column list", "quillmark check UTF-8 -> UTF-8",
          "quillmark column list (UTF-8)", "")
    ratio("   quillmark check Shift_JIS -> UTF-8 vs column list", "quillmark check Shift_JIS -> UTF-8",
          "quillmark column list (Shift_JIS)", "")
    ratio("4. quillmark UTF-8 -> UTF-8 vs python csv", "quillmark UTF-8 -> UTF-8",
          "python csv, 2 columns (UTF-8)", ">= 20")
    for label, listed, converted, goal in (
            ("6. column list time / conversion time", "quillmark column list (UTF-8)", "quillmark UTF-8 -> UTF-8",
             "<= 0.5"),
            ("   the same for Shift_JIS (-> ANSI)", "quillmark column list (Shift_JIS)",
             "quillmark Shift_JIS -> ANSI 932", "")):
        if listed in rows and converted in rows:
            print(f"  {label:<58} {rows[listed] / rows[converted]:>6.2f}  (goal {goal})")
    print(f"  {'7. small file: quillmark time / cat time':<58} {quill_small / cat_small:>6.2f}  (goal <= 5)")

    os.remove(target)
    if args.big:
        big = corpus(args.big * 1024)
        runs = [(source, encoding, convert_big(program, source, encoding, env))
                for source, encoding in ((big + ".utf8.csv", "1"), (big + ".sjis.csv", "0"))]
        for source, encoding, streamed in runs:
            check_big(program, source, encoding, streamed, env)


if __name__ == "__main__":
    main()
