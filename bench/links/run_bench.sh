#!/bin/sh
# The link benchmark: one page with 10,000 links to a local server of our own (half answering
# 200, a quarter 404, a quarter 200 after 50 ms), checked by `velumark links` and by
# `linkchecker --check-extern`, both with at most 256 open files. Every request goes to the
# loopback addresses the server listens on, at ports it picked: 127.0.0.1 only, or with
# HOSTS=2 the links spread over 127.0.0.1 and 127.0.0.2 (two hosts to velumark's limit of 8
# requests at once per host; linkchecker could not reach [::1], so it is left out).
#   [HOSTS=1|2] [ROUNDS=n] bench/links/run_bench.sh [BUILD] [LINKS]
set -eu
cd "$(dirname "$0")/../.."
BUILD="${1:-build}"
LINKS="${2:-10000}"
ROUNDS="${ROUNDS:-1}"
HOSTS="${HOSTS:-1}"
if [ "$HOSTS" = 2 ]; then ADDRESSES="127.0.0.1 127.0.0.2"; else ADDRESSES="127.0.0.1"; fi
./scripts/install-deps.sh linkchecker
cmake --build "$BUILD" --target velumark bench_link_server velumark_resources >/dev/null

work="$(mktemp -d)"
chmod 755 "$work"
# The server runs until its standard input closes.
mkfifo "$work/control"
# shellcheck disable=SC2086
"$BUILD/bin/bench_link_server" $ADDRESSES <"$work/control" >"$work/origins" 2>"$work/server.log" &
server=$!
exec 3>"$work/control"
cleanup() {
  exec 3>&-
  wait "$server" 2>/dev/null || true
  cat "$work/server.log" >&2 || true
  rm -rf "$work"
}
trap cleanup EXIT
wanted="$(echo $ADDRESSES | wc -w)"
while [ "$(wc -l <"$work/origins")" -lt "$wanted" ]; do sleep 0.05; done

python3 - "$work/origins" "$LINKS" >"$work/links.html" <<'PY'
import sys
origins = open(sys.argv[1]).read().split()
count = int(sys.argv[2])
print('<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" '
      '"http://www.w3.org/TR/html4/loose.dtd">')
print('<html><head><title>links</title></head><body>')
for i in range(count):
    kind = i % 4
    path = "/status/200" if kind < 2 else "/status/404" if kind == 2 else "/slow/50"
    origin = origins[(i // 4) % len(origins)]
    print(f'<p><a href="{origin}{path}?n={i}">link {i}</a></p>')
print('</body></html>')
PY
chmod 644 "$work/links.html"

# linkchecker asks at most 10 requests a second of one host unless the server allows more (our
# server sends the header it looks for); let it go as fast as it can.
printf '[checking]\nmaxrequestspersecond=1000\n' >"$work/linkcheckerrc"
chmod 644 "$work/linkcheckerrc"

now() { python3 -c 'import time; print(time.monotonic())'; }
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" HOME="$work"
unset http_proxy https_proxy HTTPS_PROXY ALL_PROXY all_proxy || true
export NO_PROXY='*'

round=1
while [ "$round" -le "$ROUNDS" ]; do
  start="$(now)"
  status=0
  (ulimit -n 256 && "$BUILD/bin/velumark" links --format tsv "$work/links.html" >"$work/velumark.out") || status=$?
  end="$(now)"
  found="$(grep -c '404 Not Found' "$work/velumark.out" || true)"
  echo "velumark links: $(python3 -c "print(f'{$end - $start:.2f}')") s, exit $status, $found links reported broken"

  start="$(now)"
  status=0
  (ulimit -n 256 && linkchecker -f "$work/linkcheckerrc" --check-extern --no-status --no-robots -o csv "$work/links.html" \
     >"$work/linkchecker.out" 2>"$work/linkchecker.err") || status=$?
  end="$(now)"
  found="$(grep -c ';404' "$work/linkchecker.out" || true)"
  echo "linkchecker --check-extern: $(python3 -c "print(f'{$end - $start:.2f}')") s, exit $status, $found links reported broken"
  round=$((round + 1))
done
