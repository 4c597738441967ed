#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   native-asan  the portable cores under AddressSanitizer and UBSan
#   fuzz         each libFuzzer target for a bounded time (MOKUNA_FUZZ_SECONDS, default 20)
#   windows      the three deliverables with MinGW-w64, their Win32 tests and the end-to-end tests under Wine
#   package      the release zip and installer (scripts/package.sh), tested as a user gets them under Wine in
#                a prefix of their own, and built a second time to check that the bytes are the same
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

# Inside the namespace below there is no network: install first.
[ -n "${MOKUNA_TEST_NETNS:-}" ] || scripts/deps.sh || exit 1

# The tests start their own POP3 servers on ports 110 and 995: they run in a network namespace of their own,
# with only a loopback, so the machine's own services keep their ports and two runs never collide.
if [ -z "${MOKUNA_TEST_NETNS:-}" ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo --preserve-env)
  exec "${sudo[@]}" env MOKUNA_TEST_NETNS=1 unshare --net -- bash -c 'ip link set lo up && exec bash "$0" "$@"' \
    "$root/scripts/test.sh" "$@"
fi
# The tests' own Wine prefix, beside their build. Wine makes its sockets in the wineserver, so one left
# running outside this namespace would be used instead of a new one: end it.
export MOKUNA_WINEPREFIX="${MOKUNA_WINEPREFIX:-$root/build/wineprefix}"
WINEPREFIX="$MOKUNA_WINEPREFIX" wineserver -k 2>/dev/null || true
source scripts/xvfb.sh

failed_steps=()
step() {  # step NAME COMMAND...
  echo "== $1"
  shift
  "$@" || failed_steps+=("$*")
}

rm -rf build/native-asan/test-results build/windows/test-results
step configure-native cmake --preset native-asan
step build-native cmake --build --preset native-asan -j"$jobs"
step test-native ctest --preset native-asan -j"$jobs"

step configure-fuzz cmake --preset fuzz
step build-fuzz cmake --build --preset fuzz -j"$jobs"
fuzz_runs=0 fuzz_failed=0
if [ -f build/fuzz/fuzz-targets.txt ]; then
  while read -r target; do
    [ -n "$target" ] || continue
    name=$(basename "$target")
    corpus="build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    echo "== fuzz $name"
    if "$target" -max_total_time="${MOKUNA_FUZZ_SECONDS:-20}" -rss_limit_mb=2048 "$corpus" >"build/fuzz/$name.log" 2>&1; then
      tail -n 1 "build/fuzz/$name.log"
    else
      tail -n 30 "build/fuzz/$name.log"
      fuzz_failed=$((fuzz_failed + 1))
    fi
    fuzz_runs=$((fuzz_runs + 1))
  done < build/fuzz/fuzz-targets.txt
fi

step configure-windows cmake --preset windows
step build-windows cmake --build --preset windows -j"$jobs"
cmake/wine-run.sh --setup-only
# Wine tests share one display and one desktop: one at a time, so no window steals another's focus.
step test-windows ctest --preset windows

package_start=$(date +%s)
step package bash scripts/package.sh
step test-package env MOKUNA_SOURCE_DIR="$root" MOKUNA_BUILD_DIR="$root/build/windows" \
  MOKUNA_TEST_RESULTS="$root/build/windows/test-results" PYTHONPATH="$root/tests/e2e" \
  python3 tests/package/package_e2e.py "$root/dist"
echo "package and its tests: $(( $(date +%s) - package_start )) s"

python3 scripts/count-results.py build/native-asan/test-results build/windows/test-results \
  --fuzz "$fuzz_runs" "$fuzz_failed" --steps "${#failed_steps[@]}"
status=$?
for s in "${failed_steps[@]}"; do echo "failed: $s"; done
[ ${#failed_steps[@]} -eq 0 ] && [ "$fuzz_failed" -eq 0 ] && exit $status
exit 1
