#!/usr/bin/env python3
"""Side-by-side timing of `velumark fix` against tidy's whole-document repair.

Generates the 10 MB HTML 4.01 page with ../shared/bench/gen_large.py --size 10 (unchanged, so
that figures compare across runs), then runs both tools on it, interleaved (one run of each in
turn, N rounds), each whole process under /usr/bin/time -v, and prints medians of wall time and
peak memory as a Markdown table.

    bench/fix/compare.py --velumark build/bin/velumark --rounds 5

velumark writes the repaired page to a file and its report of what is left to standard error
(both thrown away afterwards), on a private settings and data folder; tidy runs as
`tidy -q --force-output yes -o OUT`.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, "..", ".."))
DEFAULT_GENERATOR = os.path.normpath(os.path.join(SOURCE, "..", "shared", "bench", "gen_large.py"))


def timed(command, env):
    """Runs a command under /usr/bin/time -v; returns (seconds, peak KiB, exit status)."""
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-v"] + command, env=env, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, errors="replace")
    seconds = time.perf_counter() - start
    report = proc.stderr
    peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report)
    status = re.search(r"Exit status: (\d+)", report)
    return seconds, int(peak.group(1)) if peak else 0, int(status.group(1)) if status else -1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--velumark", default=os.path.join(SOURCE, "build", "bin", "velumark"))
    parser.add_argument("--generator", default=DEFAULT_GENERATOR)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--work", default=None, help="folder for the generated page and outputs")
    args = parser.parse_args()

    work = args.work or tempfile.mkdtemp(prefix="velumark-bench-fix-")
    os.makedirs(work, exist_ok=True)
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    page = os.path.join(work, "html401-10mb.html")
    if not os.path.exists(page):
        subprocess.run([sys.executable, args.generator, "--size", "10", "-o", page], check=True,
                       stdout=subprocess.DEVNULL)
    out = os.path.join(work, "out.html")

    env_velumark = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_DATA_HOME=os.path.join(home, "data"))
    tools = [("velumark fix", [args.velumark, "fix", "-q", "-o", out, page], env_velumark)]
    if shutil.which("tidy"):
        tools.append(("tidy", ["tidy", "-q", "--force-output", "yes", "-o", out, page],
                      dict(os.environ)))
    # Install the dictionaries before timing anything.
    subprocess.run([args.velumark, "dictionaries"], env=env_velumark, stdout=subprocess.DEVNULL,
                   check=False)

    samples = {}
    for round_number in range(args.rounds):
        for tool, command, env in tools:
            samples.setdefault(tool, []).append(timed(command, env))
            if os.path.exists(out):
                os.remove(out)
        print(f"round {round_number + 1}/{args.rounds} done", file=sys.stderr)

    size = os.path.getsize(page)
    base = statistics.median(s[0] for s in samples["velumark fix"])
    print("| Document | Size | Tool | Median time (s) | Time / velumark | Median peak memory (MB) "
          "| Memory / file size | Exit |")
    print("|---|---|---|---|---|---|---|---|")
    for tool, _, _ in tools:
        runs = samples[tool]
        seconds = statistics.median(s[0] for s in runs)
        peak = statistics.median(s[1] for s in runs) * 1024
        print(f"| html401-10mb | {size / 1e6:.1f} MB | {tool} | {seconds:.3f} | "
              f"{seconds / base:.1f}x | {peak / 1e6:.0f} | {peak / size:.1f}x | {runs[-1][2]} |")
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
