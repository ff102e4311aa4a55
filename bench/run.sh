#!/bin/sh
# Runs every benchmark on a build folder: the DTD converter, the engine's steps on a large
# generated document, `velumark validate` side by side with other checkers, and `velumark fix`
# beside tidy's repair.
set -eu
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
ROUNDS="${ROUNDS:-3}"
./scripts/install-deps.sh opensp tidy libxml2-utils time
cmake --build "$BUILD" --target velumark rulesmith bench_converter bench_engine velumark_resources

echo "== rulesmith: HTML 4.01 Transitional DTD"
"$BUILD/bin/bench_converter" /usr/share/xml/w3c-sgml-lib/schema/dtd/REC-html401-19991224/loose.dtd 50

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 ../shared/bench/gen_large.py --size 10 -o "$work/large.html"
echo "== engine steps: 10 MB HTML 4.01 Transitional"
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" "$BUILD/bin/bench_engine" --full "$work/large.html"

echo "== velumark validate against other checkers"
python3 bench/validate/compare.py --velumark "$BUILD/bin/velumark" --rounds "$ROUNDS"

echo "== velumark fix against tidy's repair"
python3 bench/fix/compare.py --velumark "$BUILD/bin/velumark" --rounds "$ROUNDS"
echo "== velumark links against linkchecker: 10,000 links on a local server"
bench/links/run_bench.sh "$BUILD"
echo "== velumark beautify, minimize, entities against tidy and html-minifier-terser"
python3 bench/transform/compare.py --velumark "$BUILD/bin/velumark" --rounds "$ROUNDS"
echo "== velumark-lsp: one-character edits of a 1 MB page to refreshed diagnostics"
cmake --build "$BUILD" --target velumark-lsp
python3 bench/lsp/bench_lsp.py --server "$BUILD/bin/velumark-lsp" --edits 200
