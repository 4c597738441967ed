# Sourced: starts one Xvfb for the calling script when it has no display, and stops it on exit.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${MOKUNA_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
    mokuna_xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
    trap 'kill $mokuna_xvfb_pid 2>/dev/null || true' EXIT
    break
  done
fi
