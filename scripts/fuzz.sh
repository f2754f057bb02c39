#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/ and runs one target or all of
# them for the given number of seconds each.
#   scripts/fuzz.sh                 every target, 60 s each
#   scripts/fuzz.sh wav 300         the WAV reader for 5 minutes
# Targets: cue cdtext wav xmcd cddb http language settings album mpeg asf avi writer svp accuraterip
#   musicbrainz.
# Each run starts from the target's seed corpus (tests/fuzz/corpus/<target>/,
# left as it is) and its own working corpus (build-fuzz/corpus/<target>/).
# The reproducers of faults once found (tests/fuzz/crashes/<target>/) are run
# first; a new crash, leak, time-out or memory blow-up is written there for
# the ordinary test run to guard once it is fixed. Exits non-zero when any
# target failed.
set -uo pipefail
cd "$(dirname "$0")/.."

ALL_TARGETS=(cue cdtext wav xmcd cddb http language settings album mpeg asf avi writer svp accuraterip musicbrainz)
TARGET=${1:-all}
SECONDS_EACH=${2:-60}
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}

scripts/deps.sh
# The fuzzing tools are not needed by the ordinary build and tests.
if ! command -v clang++ >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -o DPkg::Lock::Timeout=600 clang libclang-rt-dev
fi

if [ "$TARGET" = all ]; then
  targets=("${ALL_TARGETS[@]}")
else
  targets=("$TARGET")
fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSORNAVAL_FUZZ=ON -DSORNAVAL_TESTS=OFF -DSORNAVAL_WERROR=OFF >/dev/null || exit 1
cmake --build "$BUILD_DIR" -j "$(nproc)" --target "${targets[@]/#/fuzz_}" || exit 1

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
failed=()
for t in "${targets[@]}"; do
  crashes="tests/fuzz/crashes/$t"
  work="$BUILD_DIR/corpus/$t"
  mkdir -p "$crashes" "$work"
  if compgen -G "$crashes/*" >/dev/null; then
    echo "== $t: reproducers"
    if ! "$BUILD_DIR/tests/fuzz/fuzz_$t" "$crashes"/*; then failed+=("$t"); continue; fi
  fi
  echo "== $t: fuzzing for $SECONDS_EACH s"
  if ! "$BUILD_DIR/tests/fuzz/fuzz_$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "tests/fuzz/corpus/$t"; then
    failed+=("$t")
  fi
  # An empty reproducer folder is not kept.
  rmdir "$crashes" 2>/dev/null || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Failed: ${failed[*]} (reproducers in tests/fuzz/crashes/)"
  exit 1
fi
echo "No faults found in: ${targets[*]}"
