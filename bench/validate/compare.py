#!/usr/bin/env python3
"""Side-by-side timing of `velumark validate` against other markup checkers.

Generates the benchmark documents with ../shared/bench/gen_large.py (unchanged, so that figures
compare across runs), then runs every checker on every document, interleaved (one run of each
tool in turn, N rounds), each under /usr/bin/time -v, and prints medians of wall time and peak
memory as a Markdown table.

    bench/validate/compare.py --velumark build/bin/velumark --rounds 5

velumark lists every error (gcc format, output to /dev/null) on a private settings and data
folder. The others run offline against the W3C catalogs of w3c-sgml-lib.
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
DTD_DIR = "/usr/share/xml/w3c-sgml-lib/schema/dtd"

DOCUMENTS = [
    # name, generator arguments, XHTML
    ("html401-1mb", ["--size", "1"], False),
    ("html401-10mb", ["--size", "10"], False),
    ("xhtml10-10mb", ["--size", "10", "--xhtml"], True),
]


def tools_for(velumark, xhtml, home, strict_only=False):
    env_velumark = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_DATA_HOME=os.path.join(home, "data"))
    env_sp = dict(os.environ, SP_CHARSET_FIXED="1", SP_ENCODING="utf-8")
    tools = [("velumark", [velumark, "validate"], env_velumark)]
    if strict_only:
        # The strict content checks against the same run without them.
        return tools + [("velumark --strict", [velumark, "validate", "--strict"], env_velumark)]
    if xhtml:
        tools.append(("onsgmls", ["onsgmls", "-s", "-E0", "-wxml", "-c",
                                  os.path.join(DTD_DIR, "xml.soc")], env_sp))
    else:
        tools.append(("onsgmls", ["onsgmls", "-s", "-E0", "-c",
                                  os.path.join(DTD_DIR, "sgml.soc")], env_sp))
    tools.append(("tidy", ["tidy", "-e", "-q", "--show-errors", "1000000"], dict(os.environ)))
    if xhtml:
        tools.append(("xmllint", ["xmllint", "--nonet", "--valid", "--noout"],
                      dict(os.environ, XML_CATALOG_FILES=os.path.join(DTD_DIR, "catalog.xml"))))
    return [t for t in tools if shutil.which(t[1][0]) or os.path.exists(t[1][0])]


def timed(command, env):
    """Runs a command under /usr/bin/time -v; returns (seconds, peak KiB, exit status).

    The wall time is taken here, to the millisecond (time -v reports hundredths only, too
    coarse for the 1 MB document)."""
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
    parser.add_argument("--work", default=None, help="folder for the generated documents")
    parser.add_argument("--strict", action="store_true",
                        help="time velumark with and without --strict on the 10 MB HTML 4.01 "
                             "page only")
    args = parser.parse_args()
    documents = [d for d in DOCUMENTS if d[0] == "html401-10mb"] if args.strict else DOCUMENTS

    work = args.work or tempfile.mkdtemp(prefix="velumark-bench-")
    os.makedirs(work, exist_ok=True)
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)

    docs = []
    for name, gen_args, xhtml in documents:
        path = os.path.join(work, name + (".xhtml" if xhtml else ".html"))
        if not os.path.exists(path):
            subprocess.run([sys.executable, args.generator] + gen_args + ["-o", path], check=True,
                           stdout=subprocess.DEVNULL)
        docs.append((name, path, xhtml))

    # Install the dictionaries before timing anything.
    subprocess.run([args.velumark, "dictionaries"], env=tools_for(args.velumark, False, home)[0][2],
                   stdout=subprocess.DEVNULL, check=False)

    samples = {}  # (doc, tool) -> [(seconds, KiB, status)]
    for round_number in range(args.rounds):
        for name, path, xhtml in docs:
            for tool, command, env in tools_for(args.velumark, xhtml, home, args.strict):
                samples.setdefault((name, tool), []).append(timed(command + [path], env))
        print(f"round {round_number + 1}/{args.rounds} done", file=sys.stderr)

    print("| Document | Size | Checker | Median time (s) | Time / velumark | Median peak memory (MB) "
          "| Memory / file size | Exit |")
    print("|---|---|---|---|---|---|---|---|")
    medians = {}
    for name, path, xhtml in docs:
        size = os.path.getsize(path)
        base = statistics.median(s[0] for s in samples[(name, "velumark")])
        for tool, _, _ in tools_for(args.velumark, xhtml, home, args.strict):
            runs = samples[(name, tool)]
            seconds = statistics.median(s[0] for s in runs)
            peak = statistics.median(s[1] for s in runs) * 1024
            medians[(name, tool)] = seconds
            ratio = seconds / base if base > 0 else float("nan")
            print(f"| {name} | {size / 1e6:.1f} MB | {tool} | {seconds:.3f} | {ratio:.1f}x "
                  f"| {peak / 1e6:.0f} | {peak / size:.1f}x | {runs[-1][2]} |")
    one, ten = medians.get(("html401-1mb", "velumark")), medians.get(("html401-10mb", "velumark"))
    if one and ten:
        print(f"\nvelumark, HTML 4.01: the 10 MB run takes {ten / one:.1f} times the 1 MB run.")


if __name__ == "__main__":
    main()
