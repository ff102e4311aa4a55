#!/bin/sh
# Builds the fuzz programs (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each for a while.
#
#   fuzz/run.sh [SECONDS]        every program for SECONDS seconds (default 60)
#
# Environment: FUZZ_BUILD (build folder, default build-fuzz), FUZZ_TARGETS (the programs to run,
# default all), JOBS (build jobs).
#
# Corpora grow in $FUZZ_BUILD/fuzz-corpus/<program>/ and are kept between runs; each run first
# adds seeds made from tests/data, resources/samples and the W3C DTDs installed with
# w3c-sgml-lib. An input that crashes, leaks or hangs is written to
# $FUZZ_BUILD/fuzz-artifacts/; the script then goes on with the other programs and exits with
# status 1 at the end. Replay one with: $FUZZ_BUILD/bin/<program> <file>.
set -eu

SECONDS_EACH="${1:-60}"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${FUZZ_BUILD:-$ROOT/build-fuzz}"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
ALL="fuzz_validate_utf8 fuzz_validate_utf16 fuzz_two_threads fuzz_rulesmith fuzz_dictionary_file
fuzz_settings_file fuzz_charref fuzz_attribute_values fuzz_document_bytes"
TARGETS="${FUZZ_TARGETS:-$ALL}"
DTD_DIR=/usr/share/xml/w3c-sgml-lib/schema/dtd

echo "fuzz: building in $BUILD"
cmake -C "$ROOT/fuzz/config.cmake" -S "$ROOT" -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target fuzzers >/dev/null

CORPORA="$BUILD/fuzz-corpus"
SEEDS="$BUILD/fuzz-seeds"
ARTIFACTS="$BUILD/fuzz-artifacts"
rm -rf "$SEEDS"
mkdir -p "$CORPORA" "$SEEDS" "$ARTIFACTS"

# ---- Seeds ----
# The index of a shipped dictionary in the fuzz programs' sorted list, as one byte.
dictionary_byte() {
  index=$(ls "$BUILD/share/velumark/dictionaries" | sort | grep -n -x -F "$1.dict" | cut -d: -f1)
  printf "\\$(printf '%03o' $(( ${index:-1} - 1 )))"
}

documents() {
  find "$ROOT/tests/data" "$ROOT/resources/samples" -type f \
    \( -name '*.html' -o -name '*.htm' -o -name '*.xhtml' -o -name '*.txt' \) -size -64k
}

seed_documents() {  # $1 program, $2 "utf8" or "utf16"
  dir="$SEEDS/$1"; mkdir -p "$dir"; n=0
  for doc in $(documents | tr '\n' '\t' | tr ' ' '?' | tr '\t' ' '); do
    for dict in "HTML 4.01 Transitional" "XHTML 1.0 Strict" "HTML 3.2"; do
      n=$((n + 1))
      { dictionary_byte "$dict"
        if [ "$2" = utf16 ]; then iconv -f UTF-8 -t UTF-16LE "$doc" 2>/dev/null || true
        else cat "$doc"; fi; } > "$dir/doc$n"
    done
  done
  for text in '<p>a</p>' '<!-- x -- -->' '<![CDATA[ ]]>' '<a href="#x" id=x>&amp;&#x41;&#65;</a>' \
    '<?xml version="1.0" encoding="Shift_JIS"?><html xmlns="http://www.w3.org/1999/xhtml">'; do
    n=$((n + 1))
    { dictionary_byte "XHTML 1.0 Transitional"
      if [ "$2" = utf16 ]; then printf '%s' "$text" | iconv -t UTF-16LE; else printf '%s' "$text"; fi
    } > "$dir/text$n"
  done
}

seed_files() {  # $1 program, then files
  dir="$SEEDS/$1"; mkdir -p "$dir"; shift
  for f in "$@"; do [ -f "$f" ] && cp "$f" "$dir/$(echo "$f" | tr '/ ' '__')"; done
  return 0
}

for t in $TARGETS; do
  case "$t" in
    fuzz_validate_utf8 | fuzz_two_threads) seed_documents "$t" utf8 ;;
    fuzz_validate_utf16) seed_documents "$t" utf16 ;;
    fuzz_rulesmith)
      seed_files "$t" $(find "$ROOT/tests/data/converter" "$DTD_DIR" -type f \
        \( -name '*.dtd' -o -name '*.mod' -o -name '*.ent' \) -size -64k 2>/dev/null | head -120) ;;
    fuzz_dictionary_file)
      seed_files "$t" "$ROOT"/tests/data/dictionaries/*.dict "$ROOT"/tests/data/support/*.plist \
        "$BUILD/share/velumark/dictionaries/HTML 2.0.dict" ;;
    fuzz_settings_file)
      seed_files "$t" "$ROOT"/fuzz/seeds/settings/* "$ROOT"/tests/data/support/*.plist ;;
    fuzz_charref)
      mkdir -p "$SEEDS/$t"
      printf '&amp;&#65;&#x41;&#;&#x;&bogus;&amp &eacute;x&copy\357\275\261\357\276\237' |
        iconv -f UTF-8 -t UTF-16LE > "$SEEDS/$t/refs" ;;
    fuzz_attribute_values)
      mkdir -p "$SEEDS/$t"; n=0
      for value in '#FF0000' 'red' '100%' '1,2,3' '1*,2*' 'http://example.com/a b' 'utf-8 latin1' \
        'top' '&#65;' 'x' '12' 'text/html' 'A_b-c.d'; do
        for head in '\000\001\000\000' '\003\040\001\000' '\011\077\002\000' '\005\100\003\004'; do
          n=$((n + 1)); { printf "$head"; printf '%s' "$value"; } > "$SEEDS/$t/v$n"
        done
      done
      printf '\000\000\000\002TD\000colspan\0003' > "$SEEDS/$t/named" ;;
    fuzz_document_bytes)
      # Pages as found, and in other encodings and byte orders, with and without a mark.
      dir="$SEEDS/$t"; mkdir -p "$dir"; n=0
      for doc in $(documents | head -20 | tr '\n' '\t' | tr ' ' '?' | tr '\t' ' '); do
        for enc in UTF-8 UTF-16LE UTF-16BE SHIFT_JIS; do
          n=$((n + 1))
          { printf '\001'; iconv -f UTF-8 -t "$enc" "$doc" 2>/dev/null || true; } > "$dir/doc$n"
        done
        n=$((n + 1)); { printf '\001\357\273\277'; cat "$doc"; } > "$dir/doc$n"
        n=$((n + 1)); { printf 'A'; cat "$doc"; } > "$dir/doc$n"
      done ;;
  esac
done

# ---- Runs ----
failed=""
for t in $TARGETS; do
  dict=""
  case "$t" in
    fuzz_validate_*|fuzz_two_threads|fuzz_charref|fuzz_attribute_values)
      dict="-dict=$ROOT/fuzz/html.dict" ;;
    fuzz_rulesmith) dict="-dict=$ROOT/fuzz/dtd.dict" ;;
  esac
  # Documents are kept short: long inputs only slow the search down.
  case "$t" in
    fuzz_validate_*|fuzz_two_threads|fuzz_settings_file) max_len=16384 ;;
    *) max_len=65536 ;;
  esac
  mkdir -p "$CORPORA/$t"
  echo "fuzz: $t for ${SECONDS_EACH}s"
  # shellcheck disable=SC2086
  if ! ASAN_OPTIONS="detect_leaks=1:malloc_context_size=10:quarantine_size_mb=64" \
       UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
       "$BUILD/bin/$t" "$CORPORA/$t" "$SEEDS/$t" $dict \
         -max_total_time="$SECONDS_EACH" -max_len="$max_len" -timeout=30 -rss_limit_mb=3072 \
         -artifact_prefix="$ARTIFACTS/$t-" -print_final_stats=1 \
         > "$BUILD/fuzz-$t.log" 2>&1; then
    failed="$failed $t"
    echo "fuzz: $t FAILED, see $BUILD/fuzz-$t.log and $ARTIFACTS/"
    grep -E "ERROR|SUMMARY|runtime error" "$BUILD/fuzz-$t.log" | head -5 || true
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$BUILD/fuzz-$t.log" |
    tr '\n' ' ' | sed "s/^/fuzz: $t /; s/\$/\\n/" || true
done

if [ -n "$failed" ]; then
  echo "fuzz: failures in:$failed"
  exit 1
fi
echo "fuzz: all programs ran ${SECONDS_EACH}s without a finding"
