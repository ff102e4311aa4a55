#!/usr/bin/env python3
"""Time from a one-character didChange to the refreshed publishDiagnostics of velumark-lsp.

The server is started on a private home, opens a page (by default the 1 MB HTML 4.01 page of
../shared/bench/gen_large.py), is configured with a debounce of 0, and receives EDITS edits
that insert one character in a text run and take it out again, in turn. For each edit the
clock runs from the write of the didChange to the last byte of the publishDiagnostics that the
check after it sends (when the page has between 1 and 150 records, the diagnostics moved with
the edit come first; they are not the refresh). Prints the median and the 95th percentile.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def frame(message):
    body = json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


class Server:
    def __init__(self, program, home):
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_DATA_HOME=os.path.join(home, "data"))
        self.process = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, env=env, bufsize=0)
        self.out = self.process.stdout

    def send(self, message):
        self.process.stdin.write(frame(message))

    def read_frame(self):
        header = b""
        while not header.endswith(b"\r\n\r\n"):
            byte = self.out.read(1)
            if not byte:
                raise RuntimeError("the server closed its output")
            header += byte
        length = int(header.split(b":", 1)[1].split(b"\r", 1)[0])
        chunks = []
        while length > 0:
            chunk = self.out.read(length)
            if not chunk:
                raise RuntimeError("the server closed its output")
            chunks.append(chunk)
            length -= len(chunk)
        return b"".join(chunks)

    def wait_publish(self):
        while True:
            body = self.read_frame()
            if b'"textDocument/publishDiagnostics"' in body[:200]:
                return body


def generator():
    # The shared folder lies beside the checkout (or beside the folder of worktrees).
    for base in (os.path.dirname(ROOT), os.path.dirname(os.path.dirname(ROOT))):
        candidate = os.path.join(base, "shared", "bench", "gen_large.py")
        if os.path.exists(candidate):
            return candidate
    raise RuntimeError("../shared/bench/gen_large.py not found; pass --page")


def edit_place(lines):
    """A line in the middle of the page and a column inside a text run on it."""
    middle = len(lines) // 2
    for number in range(middle, len(lines)):
        line = lines[number]
        for column in range(len(line) - 1):
            if line[column] == ">" and line[column + 1].isalpha():
                return number, column + 1
    raise RuntimeError("no text run found")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server", default=os.path.join(ROOT, "build", "bin", "velumark-lsp"))
    parser.add_argument("--page", help="page to edit (default: the generated 1 MB page)")
    parser.add_argument("--edits", type=int, default=200)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as home:
        page = args.page
        if not page:
            page = os.path.join(home, "page.html")
            subprocess.run([sys.executable, generator(), "--size", "1", "-o", page], check=True,
                           stdout=subprocess.DEVNULL)
        with open(page, encoding="utf-8") as f:
            text = f.read()
        uri = "file://" + os.path.abspath(page)
        server = Server(args.server, home)
        server.send({"jsonrpc": "2.0", "id": 1, "method": "initialize",
                     "params": {"capabilities": {}, "initializationOptions": {"debounce": 0}}})
        server.read_frame()
        server.send({"jsonrpc": "2.0", "method": "initialized", "params": {}})
        started = time.perf_counter()
        server.send({"jsonrpc": "2.0", "method": "textDocument/didOpen",
                     "params": {"textDocument": {"uri": uri, "languageId": "html", "version": 1,
                                                 "text": text}}})
        records = len(json.loads(server.wait_publish())["params"]["diagnostics"])
        opened = time.perf_counter() - started
        line, column = edit_place(text.split("\n"))
        # Records that follow an edit are published again before the check's refresh.
        publishes = 2 if 0 < records <= 150 else 1
        times = []
        for n in range(args.edits):
            insert = n % 2 == 0
            change = {"range": {"start": {"line": line, "character": column},
                                "end": {"line": line, "character": column + (0 if insert else 1)}},
                      "text": "x" if insert else ""}
            t0 = time.perf_counter()
            server.send({"jsonrpc": "2.0", "method": "textDocument/didChange",
                         "params": {"textDocument": {"uri": uri, "version": n + 2},
                                    "contentChanges": [change]}})
            for _ in range(publishes):
                server.wait_publish()
            times.append((time.perf_counter() - t0) * 1000)
        server.send({"jsonrpc": "2.0", "id": 2, "method": "shutdown"})
        server.read_frame()
        server.send({"jsonrpc": "2.0", "method": "exit"})
        server.process.wait(timeout=30)

    times.sort()
    p95 = times[min(len(times) - 1, int(round(0.95 * len(times))) - 1)]
    print(f"page: {len(text.encode())} bytes, {records} diagnostics; open to first publish "
          f"{opened * 1000:.1f} ms")
    print(f"{args.edits} one-character edits, didChange to refreshed publishDiagnostics: "
          f"median {statistics.median(times):.1f} ms, p95 {p95:.1f} ms, max {times[-1]:.1f} ms")


if __name__ == "__main__":
    main()
