#!/usr/bin/env bash
# Installs what is missing, builds the Release Windows configuration and writes the release files:
#   dist/Mokuna-<version>-win64.zip        the program in one folder Mokuna/, to unpack and run
#   dist/Mokuna-<version>-win64-setup.exe  the per-user installer
#   dist/SHA256SUMS
# The same commit gives the same bytes: file dates come from SOURCE_DATE_EPOCH (default: the last commit's
# time). MOKUNA_BUILD_DIR chooses another build folder than the preset's, MOKUNA_DIST_DIR another output folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh
build_dir="${MOKUNA_BUILD_DIR:-$root/build/windows}"
dist_dir="${MOKUNA_DIST_DIR:-$root/dist}"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH

cmake --preset windows -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target Mokuna Kavrel Fennick Yotei
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build_dir/CMakeCache.txt" >&2; exit 1; }
# The notes the About box shows are this release's: they must name its version.
head -n 1 assets/version.txt | tr -d "\r" | grep -qE " ${version//./\\.}$" ||
  { echo "assets/version.txt does not name version $version in its first line" >&2; exit 1; }

stage="$build_dir/package/Mokuna"
rm -rf "$build_dir/package"
mkdir -p "$stage" "$dist_dir"
cp "$build_dir/host/Mokuna.exe" "$build_dir/scheduler/Kavrel.dll" "$build_dir/plugin/Fennick.dll" \
  "$build_dir/yotei/Yotei.dll" "$stage/"
cp assets/climon.bmp assets/climon-blink.bmp assets/climon-talk.bmp assets/fukidasi.bmp assets/back.bmp assets/version.txt packaging/edll-default.ini "$stage/"
# The plug-in SDK as it stands in the repository: the header, the guide and the sample's sources.
mkdir -p "$stage/sdk/include" "$stage/sdk/sample"
cp sdk/README.md "$stage/sdk/"
cp sdk/include/mokuna_plugin.h "$stage/sdk/include/"
cp sdk/sample/break.c sdk/sample/CMakeLists.txt "$stage/sdk/sample/"
# Texts for Notepad: CR LF line ends, UTF-8 with a byte-order mark so Japanese shows on any system.
to_windows_text() { printf '\xef\xbb\xbf'; sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$1"; }
to_windows_text packaging/README.txt >"$stage/README.txt"
to_windows_text LICENSE.txt >"$stage/LICENSE.txt"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

zip="Mokuna-$version-win64.zip"
setup="Mokuna-$version-win64-setup.exe"
python3 packaging/make_zip.py "$dist_dir/$zip" "$stage"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DICON="$root/assets/mokuna.ico" \
  -DOUTFILE="$dist_dir/$setup" packaging/Mokuna.nsi
(cd "$dist_dir" && sha256sum "$zip" "$setup" >SHA256SUMS && cat SHA256SUMS)
