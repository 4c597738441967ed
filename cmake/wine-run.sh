#!/usr/bin/env bash
# Runs a Windows program under Wine: a private 64-bit prefix, quiet Wine, Japanese font substitutes,
# and an X display (a throw-away Xvfb when none is set).
#   wine-run.sh PROGRAM.exe [ARGS...]
#   wine-run.sh --setup-only   makes the prefix, quietly, and runs nothing
#   wine-run.sh --stop         ends every Wine process of the prefix and waits until they are gone
set -euo pipefail

export WINEPREFIX="${MOKUNA_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/mokuna/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: nothing here needs them, and they would ask questions.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

wine_cmd=wine
command -v wine >/dev/null 2>&1 || wine_cmd=wine64

replace_faces() {  # replace_faces INSTALLED FACE...: Wine draws each FACE with the installed font
  local installed=$1 face
  shift
  for face in "$@"; do
    "$wine_cmd" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "$installed" /f \
      >/dev/null 2>&1
  done
}

setup_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.mokuna-ready" ]; then
    "$wine_cmd" wineboot -i >/dev/null 2>&1 || true
    replace_faces IPAGothic 'ＭＳ ゴシック'
    replace_faces IPAPGothic 'ＭＳ Ｐゴシック' 'Comic Sans MS'
    replace_faces IPAMincho 'ＭＳ 明朝'
    replace_faces IPAPMincho 'ＭＳ Ｐ明朝'
    # A crashing test program must fail the test, not wait for someone to close a dialog.
    "$wine_cmd" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # wineserver is a program of the host, not of the prefix: through wine it would be looked for as a
    # Windows program and the failure printed.
    wineserver -w >/dev/null 2>&1 || true
    touch "$WINEPREFIX/.mokuna-ready"
  fi
  if [ ! -f "$WINEPREFIX/.mokuna-fontlink" ]; then
    # Menus and message boxes are drawn in these faces, which hold no Japanese: link them to IPA fonts.
    local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
    for face in 'Tahoma' 'MS Shell Dlg' 'MS Shell Dlg 2' 'Segoe UI'; do
      "$wine_cmd" reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1
    done
    touch "$WINEPREFIX/.mokuna-fontlink"
  fi
  if [ ! -f "$WINEPREFIX/.mokuna-jafaces" ]; then
    # Under a Japanese locale (the installer's pages) dialogs ask for the Japanese system faces.
    replace_faces IPAPGothic 'MS UI Gothic' 'Meiryo UI' 'Yu Gothic UI' 'MS PGothic'
    touch "$WINEPREFIX/.mokuna-jafaces"
  fi
  flock -u 9
  exec 9>&-
}

[ "${1:-}" = "--setup-only" ] && { setup_prefix; exit 0; }
if [ "${1:-}" = "--stop" ]; then
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  exit 0
fi
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM.exe [ARGS...]" >&2; exit 2; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 ${MOKUNA_SCREEN:-1280x1024x24}" "$0" "$@"
fi

setup_prefix
exec "$wine_cmd" "$@"
