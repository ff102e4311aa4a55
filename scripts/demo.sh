#!/bin/sh
# Shows the main commands on the shipped sample page: validate, tag, links, fix, beautify, minimize.
set -eu
BUILD="${1:-build}"
SAMPLE="resources/samples/sample-transitional.html"
if [ ! -x "$BUILD/bin/velumark" ]; then
  echo "demo: $BUILD/bin/velumark was not built" >&2
  exit 1
fi
# A private settings and data folder, so the demo never touches the user's own.
DEMO_HOME="$(mktemp -d)"
trap 'rm -rf "$DEMO_HOME"' EXIT
echo "\$ velumark validate $SAMPLE"
status=0
HOME="$DEMO_HOME" XDG_CONFIG_HOME="$DEMO_HOME/config" XDG_DATA_HOME="$DEMO_HOME/data" \
  "$BUILD/bin/velumark" validate "$SAMPLE" || status=$?
echo "(exit status $status: 0 no errors, 1 errors found, 2 usage error or unreadable file)"
# The tag commands at a selection (here the caret inside the first <img> of the sample).
IMG="$(grep -bo '<img' "$SAMPLE" | head -n 1 | cut -d: -f1)"
if [ -n "$IMG" ]; then
  echo "\$ velumark tag attributes -s $((IMG + 2)) $SAMPLE"
  HOME="$DEMO_HOME" XDG_CONFIG_HOME="$DEMO_HOME/config" XDG_DATA_HOME="$DEMO_HOME/data" \
    "$BUILD/bin/velumark" tag attributes -s "$((IMG + 2))" "$SAMPLE" || true
fi
# The sample's links lead to files that are not shipped; remote links are left alone, so the
# demo makes no request.
echo "\$ velumark links --no-remote $SAMPLE"
HOME="$DEMO_HOME" XDG_CONFIG_HOME="$DEMO_HOME/config" XDG_DATA_HOME="$DEMO_HOME/data" \
  "$BUILD/bin/velumark" links --no-remote "$SAMPLE" || true
# Repair changes only the text of each repairable error; diff shows exactly what changed.
FIXED="$DEMO_HOME/fixed.html"
echo "\$ velumark fix -o fixed.html $SAMPLE; diff $SAMPLE fixed.html"
HOME="$DEMO_HOME" XDG_CONFIG_HOME="$DEMO_HOME/config" XDG_DATA_HOME="$DEMO_HOME/data" \
  "$BUILD/bin/velumark" fix -q -o "$FIXED" "$SAMPLE" || true
diff "$SAMPLE" "$FIXED" || true
# The beautifier and the minimizer on the repaired page.
echo "\$ velumark beautify --yes fixed.html | head -n 12"
HOME="$DEMO_HOME" XDG_CONFIG_HOME="$DEMO_HOME/config" XDG_DATA_HOME="$DEMO_HOME/data" \
  "$BUILD/bin/velumark" beautify --yes "$FIXED" | head -n 12 || true
echo "\$ velumark minimize --yes fixed.html | wc -c   (the page has $(wc -c <"$FIXED") bytes)"
HOME="$DEMO_HOME" XDG_CONFIG_HOME="$DEMO_HOME/config" XDG_DATA_HOME="$DEMO_HOME/data" \
  "$BUILD/bin/velumark" minimize --yes "$FIXED" | wc -c || true
