#!/usr/bin/env bash
# Builds Keyhaven, starts it on a real X display (Xvfb with a window manager) in a temporary
# program folder with a sample data.enc, drives it from outside with xdotool and writes one PNG
# per window and state into build/screenshots/ (a full-screen shot when the window is not found).
#
#   bash scripts/screenshots.sh            the desktop's default font
#   bash scripts/screenshots.sh --large    also a second set under a 17 pt desktop font
#                                          (build/screenshots/large/)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

if [ "${1:-}" != "--inside" ]; then
    # The program's packages, and a display with a window manager and tools to drive and photograph it.
    bash scripts/install-deps.sh program xvfb xauth xdotool wmctrl imagemagick openbox x11-utils qt6ct
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$(nproc)" --target keyhaven
    rm -rf build/screenshots
    mkdir -p build/screenshots
    xvfb-run -a -s "-screen 0 1280x960x24" bash "$0" --inside "" build/screenshots
    if [ "${1:-}" = "--large" ]; then
        mkdir -p build/screenshots/large
        xvfb-run -a -s "-screen 0 1280x960x24" bash "$0" --inside 17 build/screenshots/large
    fi
    echo "Screenshots are in build/screenshots/"
    exit 0
fi

# ---- inside the X display ----
font_points="$2"
out="$root/$3"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
unset QT_QPA_PLATFORM
if [ -n "$font_points" ]; then
    # A desktop whose font is large, as a user who needs large text might set it.
    mkdir -p "$XDG_CONFIG_HOME/qt6ct"
    cat >"$XDG_CONFIG_HOME/qt6ct/qt6ct.conf" <<EOF
[Fonts]
fixed="DejaVu Sans Mono,$font_points,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
general="DejaVu Sans,$font_points,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"
EOF
    export QT_QPA_PLATFORMTHEME=qt6ct
fi

openbox >/dev/null 2>&1 &
sleep 1

# The sample program folder: the program, its help, a data file, a local page for the browser.
program="$work/program"
mkdir -p "$program"
cp "$root/build/keyhaven" "$root"/build/libkeyhaven_*.so "$program/"
cp "$root"/resources/beside/* "$program/"
cat >"$work/page.html" <<'EOF'
<!doctype html><html><head><title>A local page</title></head>
<body style="font-family: sans-serif"><h1>A local page</h1><p>Shown by the built-in browser.</p>
<p><a href="#more">A link</a></p></body></html>
EOF
cat >"$work/alert.html" <<'EOF'
<!doctype html><html><head><title>A page that asks</title></head>
<body><script>setTimeout(function () { alert("A page's alert: only the browser waits for it."); }, 300);</script></body></html>
EOF
# Lines enciphered as the program stores them: each Windows-1252 byte with its top bit flipped.
write_vault() {
    python3 - "$1" "${@:2}" <<'EOF'
import sys
out = bytearray()
for line in sys.argv[2:]:
    out += bytes(b ^ 0x80 for b in line.encode("cp1252")) + b"\r\n"
open(sys.argv[1], "wb").write(out)
EOF
}
write_vault "$program/data.enc" master \
    "alice|||Tr0ub4dor&3|||www.example.com" \
    "bob.smith@mail.example|||correct horse battery|||https://mail.example/login" \
    "carol|||s3cr3t!|||C:\\Data\\Accounts" \
    "dave|||hunter2|||intranet.example.org" ""

shot() { # shot NAME [WINDOW]: the window with its frame, or the whole screen
    local name="$1" wid="${2:-}" file="$out/$1.png"
    sleep 0.6
    if [ -n "$wid" ] && xwininfo -id "$wid" >/dev/null 2>&1; then
        local x y w h l r t b
        x=$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {print $NF}')
        y=$(xwininfo -id "$wid" | awk '/Absolute upper-left Y/ {print $NF}')
        w=$(xwininfo -id "$wid" | awk '/Width:/ {print $NF}')
        h=$(xwininfo -id "$wid" | awk '/Height:/ {print $NF}')
        read -r l r t b < <(xprop -id "$wid" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ',' ||
            echo "0 0 0 0")
        l=${l:-0} r=${r:-0} t=${t:-0} b=${b:-0}
        import -window root -crop "$((w + l + r))x$((h + t + b))+$((x - l))+$((y - t))" +repage "$file"
    else
        import -window root "$file"
    fi
    echo "  $name.png"
}
window() { # window TITLE-PATTERN: the newest visible window with that title, within 15 s
    local id
    for _ in $(seq 75); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    echo "  (no window \"$1\")" >&2
}
close_window() { # asks the window to close, as its close box does
    [ -n "$1" ] && wmctrl -i -c "$1" 2>/dev/null
    sleep 0.6
}
click_at() { # click_at WINDOW X Y (pixels inside the window)
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}
type_into() { # type_into WINDOW TEXT
    xdotool type --window "$1" --delay 40 "$2"
}
key() {
    xdotool key --clearmodifiers "$@"
    sleep 0.3
}

start_program() {
    (cd "$program" && exec ./keyhaven >"$work/keyhaven.log" 2>&1) &
    running=$!
}
stop_program() {
    kill "$running" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$running" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$running" 2>/dev/null || true
}

echo "Shots into $out:"

# Splash: frames are taken from the start until the gate shows; the last one still has the splash.
mkdir -p "$work/frames"
start_program
n=0
while [ $n -lt 200 ]; do
    import -window root "$work/frames/$(printf %03d $n).png" 2>/dev/null || true
    xdotool search --onlyvisible --name "Password Required" >/dev/null 2>&1 && break
    n=$((n + 1))
done
# The frame whose centre looks most like the splash picture, and nothing over it.
splash="" best=""
for f in "$work/frames"/*.png; do
    convert "$f" -gravity center -crop 476x316+0+0 +repage "$f.centre.png"
    d=$(compare -metric RMSE "$f.centre.png" "$root/resources/images/splash.jpg" null: 2>&1 | sed "s/ .*//" || true)
    if [ -z "$best" ] || awk "BEGIN {exit !($d < $best)}"; then best="$d" splash="$f.centre.png"; fi
done
if [ -n "$splash" ]; then
    cp "$splash" "$out/splash.png"
    echo "  splash.png"
else
    echo "  (the splash went by too fast to be taken)"
fi

gate=$(window "Password Required")
click_at "$gate" 200 34 # the password box
type_into "$gate" "wrong!"
shot gate-verify-typed "$gate"
xdotool key --window "$gate" ctrl+a BackSpace
type_into "$gate" "master"
key Return
main=$(window "Keyhaven by")
help=$(window "Readme/Help")
shot help-at-start "$help"
close_window "$help"
shot main "$main"

# The client area starts below the menu bar; the list's rows below its header.
mb=22
click_at "$main" 100 $((mb + 132 + 22 + 25)) # the second row
shot main-selected "$main"

click_at "$main" 40 $((mb + 35)) # Add
editor=$(window "Add an entry")
type_into "$editor" ""
shot editor-add "$editor"
xdotool key --window "$editor" Tab Tab
type_into "$editor" "new user"
shot editor-add-typed "$editor"
close_window "$editor"

click_at "$main" 200 $((mb + 35)) # Edit
editor=$(window "Edit an entry")
shot editor-edit "$editor"
close_window "$editor"

click_at "$main" 120 $((mb + 35)) # Delete
confirm=$(window "Confirm Delete")
shot delete-box "$confirm"
key Escape

# Menus: Help, View Help; About, About this software. The menu bar lies above the client area.
click_menu() { # click_menu X-IN-BAR ITEM-NUMBER
    local x y
    x=$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print $NF}')
    y=$(xwininfo -id "$main" | awk '/Absolute upper-left Y/ {print $NF}')
    xdotool mousemove $((x + $1)) $((y + 10)) click 1
    sleep 0.5
    xdotool mousemove $((x + $1 + 10)) $((y + mb + 24 * $2 + 12)) click 1
    sleep 0.8
}
help_menu_x=182
click_menu "$help_menu_x" 0
help=$(window "Readme/Help")
shot help "$help"
close_window "$help"
click_menu 238 0
about=$(window "About Keyhaven")
shot about "$about"
close_window "$about"

# The browser, then a local page typed into its address box.
click_at "$main" 450 $((mb + 35)) # Visit
# Titles are matched without case, so the pattern is anchored: the main window's title names the maker too.
browser=$(window "^www[.]orrindale[.]example")
sleep 2
xdotool windowactivate --sync "$browser" 2>/dev/null || true
xdotool mousemove --window "$browser" 200 30 click 1 key ctrl+a
type_into "$browser" "file://$work/page.html"
key Return
sleep 3
shot browser "$(window "A local page")"
browser=$(window "A local page")
xdotool windowactivate --sync "$browser" 2>/dev/null || true
xdotool mousemove --window "$browser" 200 30 click 1 key ctrl+a
type_into "$browser" "file://$work/alert.html"
key Return
sleep 3
shot browser-page-dialog "$(window "A page that asks")"
main_still=$(window "Keyhaven by")
xdotool windowactivate --sync "$main_still" 2>/dev/null || true
click_at "$main_still" 100 $((mb + 132 + 22 + 10)) # the main window still answers: a row is selected
shot main-while-page-dialog "$main_still"
close_window "$main"
close_window "$(window "A page that asks")"
stop_program

# First use: the gate in create mode.
rm -f "$program/data.enc"
start_program
gate=$(window "Password Required")
click_at "$gate" 200 123
type_into "$gate" "secret1"
click_at "$gate" 200 148
type_into "$gate" "secret1"
shot gate-create-typed "$gate"
stop_program
