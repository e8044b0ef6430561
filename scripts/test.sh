#!/usr/bin/env bash
# Installs the dependencies, builds everything and runs every test: the main
# build (g++) and the round trip of its Debian package, then a clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer whose tests run again, the
# engine's and the score server's tests under ThreadSanitizer, then a bounded
# fuzzing run of every fuzz target.
# Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${QUORVEL_JOBS:-2}
fuzz_seconds=${QUORVEL_FUZZ_SECONDS:-30}

bash "$root/scripts/setup.sh"

echo "== main build (g++)"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc
cmake --build "$root/build" -j "$jobs"
ctest --test-dir "$root/build" -j "$jobs" --output-on-failure

echo "== Debian package: made, installed, played as another user, purged"
rm -rf "$root/build/package"
cmake --build "$root/build" --target package >/dev/null
bash "$root/tests/install/deb_round_trip.sh" "$root"/build/package/quorvel_*.deb "$root/build"

echo "== sanitizer build (clang, ASan + UBSan, fuzz targets)"
cmake -S "$root" -B "$root/build-sanitize" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DQUORVEL_SANITIZE=ON -DQUORVEL_FUZZ=ON
cmake --build "$root/build-sanitize" -j "$jobs"
# Leaks are checked by the whole-program memory check; here SDL's own
# process-lifetime allocations would drown the report.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-sanitize" -j "$jobs" --output-on-failure -LE e2e

echo "== thread sanitizer: the engine's event layer (a timer thread) and the score server (a writer thread)"
cmake -S "$root" -B "$root/build-tsan" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DQUORVEL_TSAN=ON
cmake --build "$root/build-tsan" -j "$jobs" --target engine_tests server_logic_tests server_process_tests quorvel-scores
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$root/build-tsan" -R '^(engine_tests|server_logic_tests|server_process_tests)$' \
  --output-on-failure

echo "== fuzzing, ${fuzz_seconds} s per target"
fuzz_work=$(mktemp -d)
trap 'rm -rf "$fuzz_work"' EXIT
for fuzzer in $(find "$root/build-sanitize" -type f -name '*_fuzzer' -perm -u+x | sort); do
  name=$(basename "$fuzzer" _fuzzer)
  corpus="$fuzz_work/$name"
  mkdir -p "$corpus"
  # Seeds live in tests/fuzz/corpus/<name>; the server keeps its own.
  seed_dirs=("$root/tests/fuzz/corpus/$name")
  [ "$name" = server_request ] && seed_dirs+=("$root/server/fuzz/corpus")
  for seeds in "${seed_dirs[@]}"; do
    if [ -d "$seeds" ]; then cp -r "$seeds"/. "$corpus"/; fi
  done
  echo "-- $name"
  if ! (cd "$fuzz_work" && ASAN_OPTIONS=detect_leaks=0 "$fuzzer" -max_total_time="$fuzz_seconds" \
        -print_final_stats=1 "$corpus" >"$fuzz_work/$name.log" 2>&1); then
    tail -n 40 "$fuzz_work/$name.log"
    echo "fuzzer $name found a failure" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$fuzz_work/$name.log" || true
done
echo "== all tests passed"
