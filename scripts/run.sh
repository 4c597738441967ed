#!/usr/bin/env bash
# Installs what is missing, builds the three deliverables for Windows and starts Mokuna under Wine in a
# working folder that holds the program, its two DLLs and the default files (build/run). Without a display
# it runs in a throw-away Xvfb for MOKUNA_RUN_SECONDS (default 15) and saves build/run/screenshot.png.
# MOKUNA_BUILD_DIR chooses another configured Windows build folder than the preset's build/windows.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh
build_dir="${MOKUNA_BUILD_DIR:-$root/build/windows}"
cmake --preset windows -B "$build_dir" >/dev/null
# Only what the user runs: a test of some other part that does not build must not stop the program.
targets=(Mokuna Kavrel)
[ -f plugin/win.cmake ] && targets+=(Fennick)
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]}"

run_dir="$root/build/run"
mkdir -p "$run_dir"
for f in host/Mokuna.exe scheduler/Kavrel.dll plugin/Fennick.dll; do
  [ -f "$build_dir/$f" ] && cp "$build_dir/$f" "$run_dir/"
done
# Default pictures and notes, never overwriting what the user changed in the working folder.
for f in assets/climon.bmp assets/climon-blink.bmp assets/climon-talk.bmp assets/fukidasi.bmp assets/back.bmp assets/version.txt; do
  [ -f "$f" ] && [ ! -f "$run_dir/$(basename "$f")" ] && cp "$f" "$run_dir/"
done

cd "$run_dir"
if [ -n "${DISPLAY:-}" ]; then
  exec "$root/cmake/wine-run.sh" Mokuna.exe
fi

source "$root/scripts/xvfb.sh"
"$root/cmake/wine-run.sh" --setup-only
"$root/cmake/wine-run.sh" Mokuna.exe &
pid=$!
sleep "${MOKUNA_RUN_SECONDS:-15}"
# Wine paints the root window black; a desktop colour shows the character's outline in the picture.
display -window root -size 8x8 'xc:rgb(58,110,165)' >/dev/null 2>&1 || true
sleep 0.5
import -window root "$run_dir/screenshot.png"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
# Every Wine process of the prefix (the desktop's too) must be gone before Xvfb goes, or one of them reports
# the lost display.
"$root/cmake/wine-run.sh" --stop
echo "Mokuna ran for ${MOKUNA_RUN_SECONDS:-15} seconds; screenshot: $run_dir/screenshot.png"
