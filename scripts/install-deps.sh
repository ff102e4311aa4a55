#!/bin/sh
# Installs the Debian packages Velumark needs to build and test. Idempotent: when every
# package is present it only checks and returns.
set -eu

PACKAGES="build-essential cmake pkg-config ccache
libonig-dev libplist-dev libicu-dev libcurl4-openssl-dev libcli11-dev nlohmann-json3-dev
libxxhash-dev libgtest-dev libgmock-dev libbenchmark-dev w3c-sgml-lib attr
neovim"

# Extra packages asked for by name on the command line (fuzzing, benchmarks).
PACKAGES="$PACKAGES $*"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
