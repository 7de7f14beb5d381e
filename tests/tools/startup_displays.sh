#!/usr/bin/env bash
# The program starts and reaches its password gate on a real display: an X server (Xvfb with a
# window manager) and a Wayland compositor (headless weston), with nothing on standard error; on
# X11 the built-in browser then opens from its library beside the program.
#   startup_displays.sh PATH-OF-keyhaven_startup_probe PATH-OF-THE-BROWSER-LIBRARY
set -uo pipefail
probe="$1"
browser_library="$2"
work="$(mktemp -d)"
compositor=""
cleanup() {
    [ -n "$compositor" ] && kill "$compositor" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/x11" "$work/wayland"
chmod 700 "$XDG_RUNTIME_DIR"
failed=0

# Runs the probe in a fresh program folder; it must reach the gate and say nothing on stderr (but
# the one line expected, if any).
row() {
    local name="$1" folder="$2"
    shift 2
    if ! "$@" "$probe" "$folder" ${probe_options:-} >"$work/$name.out" 2>"$work/$name.err"; then
        echo "$name: the gate (or the browser after it) did not come"
        cat "$work/$name.err"
        failed=1
    elif [ -s "$work/$name.err" ] && grep -qvxF "${expected_line:-}" "$work/$name.err"; then
        echo "$name: the gate came, with this on standard error:"
        cat "$work/$name.err"
        failed=1
    else
        cat "$work/$name.out"
    fi
}

# X11: Xvfb with openbox, and the browser.
cp "$browser_library" "$work/x11/"
# As root the engine runs without its sandbox, and says so (the one line expected).
sandbox_line=""
[ "$(id -u)" -ne 0 ] || { export QTWEBENGINE_DISABLE_SANDBOX=1; sandbox_line="Sandboxing disabled by user."; }
expected_line="$sandbox_line" QT_LOGGING_RULES="qt.webenginecontext.info=false" probe_options=--browser row x11 "$work/x11" xvfb-run -a -s "-screen 0 1280x960x24" \
    bash -c 'openbox >/dev/null 2>&1 & sleep 1; QT_QPA_PLATFORM=xcb "$@"' probe

# Wayland: headless weston on a socket of its own.
weston --backend=headless-backend.so --use-pixman --socket=keyhaven-test --idle-time=0 >"$work/weston.log" 2>&1 &
compositor=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/keyhaven-test" ] && break; sleep 0.1; done
if [ ! -S "$XDG_RUNTIME_DIR/keyhaven-test" ]; then
    echo "wayland: weston did not start"
    cat "$work/weston.log"
    exit 1
fi
row wayland "$work/wayland" env QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=keyhaven-test

exit $failed
