#!/usr/bin/env bash
# Installs what is missing, builds everything for Windows and starts Mokuna under Wine in a working folder
# that holds the program, its two DLLs and the default files (build/run). Without a display it runs in a
# throw-away Xvfb for MOKUNA_RUN_SECONDS (default 15) and saves build/run/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"

run_dir="$root/build/run"
mkdir -p "$run_dir"
for f in build/windows/host/Mokuna.exe build/windows/scheduler/Kavrel.dll build/windows/plugin/Fennick.dll; do
  [ -f "$f" ] && cp "$f" "$run_dir/"
done
# Default pictures and notes, never overwriting what the user changed in the working folder.
for f in assets/climon.bmp assets/fukidasi.bmp assets/back.bmp assets/version.txt; do
  [ -f "$f" ] && [ ! -f "$run_dir/$(basename "$f")" ] && cp "$f" "$run_dir/"
done

if [ ! -f "$run_dir/Mokuna.exe" ]; then
  echo "Mokuna.exe is not built yet; the build of the rest succeeded."
  exit 0
fi

cd "$run_dir"
if [ -n "${DISPLAY:-}" ]; then
  exec "$root/cmake/wine-run.sh" Mokuna.exe
fi

source "$root/scripts/xvfb.sh"
"$root/cmake/wine-run.sh" --setup-only
"$root/cmake/wine-run.sh" Mokuna.exe &
pid=$!
sleep "${MOKUNA_RUN_SECONDS:-15}"
import -window root "$run_dir/screenshot.png"
echo "Screenshot: $run_dir/screenshot.png"
kill "$pid" 2>/dev/null || true
WINEPREFIX="${MOKUNA_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/mokuna/wineprefix}" wineserver -k 2>/dev/null || true
