#!/usr/bin/env python3
"""Side-by-side timing of `velumark beautify`, `minimize` and `entities` against peers.

Generates the 10 MB page with ../shared/bench/gen_large.py (unchanged, so that figures compare
across runs), installs html-minifier-terser with npm into a folder of its own (once), then runs,
interleaved for N rounds, each command under /usr/bin/time -v, writing its result to a file:

    velumark beautify --yes FILE -o OUT      against  tidy -q -i --force-output yes -o OUT FILE
    velumark minimize FILE -o OUT            against  html-minifier-terser --collapse-whitespace
                                                      -o OUT FILE
    velumark entities --plain --yes FILE -o OUT

and prints the medians of wall time and peak memory as a Markdown table, with the targets.

    bench/transform/compare.py --velumark build-release/bin/velumark --rounds 5
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
DEFAULT_TOOLS = os.path.join(os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache")),
                             "velumark-bench", "npm")


def install_minifier(folder):
    """html-minifier-terser from the npm registry, in `folder` (kept for later runs)."""
    program = os.path.join(folder, "node_modules", ".bin", "html-minifier-terser")
    if not os.path.exists(program):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", folder, "--no-audit", "--no-fund",
                        "html-minifier-terser"], check=True, stdout=subprocess.DEVNULL)
    return program


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
    parser.add_argument("--work", default=None, help="folder for the document and the outputs")
    parser.add_argument("--tools", default=DEFAULT_TOOLS, help="folder for the npm install")
    args = parser.parse_args()

    work = args.work or tempfile.mkdtemp(prefix="velumark-bench-transform-")
    os.makedirs(work, exist_ok=True)
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    page = os.path.join(work, "html401-10mb.html")
    if not os.path.exists(page):
        subprocess.run([sys.executable, args.generator, "--size", "10", "-o", page], check=True,
                       stdout=subprocess.DEVNULL)
    minifier = install_minifier(args.tools)

    env_velumark = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_DATA_HOME=os.path.join(home, "data"))
    env = dict(os.environ)
    out = lambda name: os.path.join(work, name)
    # (task, tool, command, environment)
    runs = [
        ("beautify", "velumark", [args.velumark, "beautify", "--yes", page, "-o",
                                  out("beautified.html")], env_velumark),
        ("beautify", "tidy", ["tidy", "-q", "-i", "--force-output", "yes", "-o",
                              out("tidy.html"), page], env),
        ("minimize", "velumark", [args.velumark, "minimize", page, "-o", out("minimized.html")],
         env_velumark),
        ("minimize", "html-minifier-terser", [minifier, "--collapse-whitespace", "-o",
                                              out("terser.html"), page], env),
        ("entities", "velumark", [args.velumark, "entities", "--plain", "--yes", page, "-o",
                                  out("entities.html")], env_velumark),
    ]
    runs = [r for r in runs if shutil.which(r[2][0]) or os.path.exists(r[2][0])]
    # Install the dictionaries before timing anything.
    subprocess.run([args.velumark, "dictionaries"], env=env_velumark, stdout=subprocess.DEVNULL)

    samples = {}
    for round_number in range(args.rounds):
        for task, tool, command, environment in runs:
            samples.setdefault((task, tool), []).append(timed(command, environment))
        print(f"round {round_number + 1}/{args.rounds} done", file=sys.stderr)

    size = os.path.getsize(page)
    print(f"Page: {size / 1e6:.1f} MB, {args.rounds} interleaved rounds, medians.\n")
    print("| Task | Tool | Median time (s) | Time / velumark | Median peak memory (MB) "
          "| Memory / file size | Exit |")
    print("|---|---|---|---|---|---|---|")
    medians = {}
    for task, tool, _, _ in runs:
        values = samples[(task, tool)]
        seconds = statistics.median(v[0] for v in values)
        peak = statistics.median(v[1] for v in values) * 1024
        medians[(task, tool)] = (seconds, peak)
        base = statistics.median(v[0] for v in samples[(task, "velumark")])
        print(f"| {task} | {tool} | {seconds:.3f} | {seconds / base:.1f}x | {peak / 1e6:.0f} "
              f"| {peak / size:.1f}x | {values[-1][2]} |")

    print("\n| Target | Measured | Met |")
    print("|---|---|---|")
    def ratio(task, other):
        if (task, other) not in medians:
            return None
        return medians[(task, "velumark")][0] / medians[(task, other)][0]
    beautify = ratio("beautify", "tidy")
    if beautify is not None:
        print(f"| beautify at most 1/2 of tidy's time | {beautify:.2f} of tidy's | "
              f"{'yes' if beautify <= 0.5 else 'no'} |")
    minimize = ratio("minimize", "html-minifier-terser")
    if minimize is not None:
        print(f"| minimize at most 1/10 of html-minifier-terser's time | 1/{1 / minimize:.0f} | "
              f"{'yes' if minimize <= 0.1 else 'no'} |")
    entities = medians[("entities", "velumark")][0]
    print(f"| entities --plain at most 0.3 s | {entities:.3f} s | "
          f"{'yes' if entities <= 0.3 else 'no'} |")
    worst = max(medians[(task, "velumark")][1] for task in ("beautify", "minimize", "entities"))
    print(f"| peak memory at most 12 times the file | {worst / size:.1f} times | "
          f"{'yes' if worst <= 12 * size else 'no'} |")


if __name__ == "__main__":
    main()
