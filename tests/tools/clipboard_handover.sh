#!/usr/bin/env bash
# What was copied is still on the clipboard after the program ends, when a clipboard manager runs:
# a real X display (Xvfb), a clipboard manager, the program's own way of ending, then another
# program reads the clipboard.
#   clipboard_handover.sh PATH-OF-keyhaven_clipboard_end
set -uo pipefail
helper="$1"
here="$(cd "$(dirname "$0")" && pwd)"
if [ -z "${CLIPBOARD_TEST_DISPLAY:-}" ]; then
    export CLIPBOARD_TEST_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 640x480x24" bash "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb
text="Tr0ub4dor&3 copied $(date +%s%N)"

# Without a manager, nothing can keep it: the clipboard is empty after the end.
"$helper" "$text" || { echo "the program did not end normally"; exit 1; }
after=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
[ -z "$after" ] || { echo "clipboard kept without a manager: $after"; exit 1; }

/usr/bin/python3 "$here/clipboard_manager.py" >"${TMPDIR:-/tmp}/manager.$$" &
manager=$!
trap 'kill $manager 2>/dev/null; rm -f "${TMPDIR:-/tmp}/manager.$$"' EXIT
for _ in $(seq 50); do grep -q ready "${TMPDIR:-/tmp}/manager.$$" && break; sleep 0.1; done
grep -q ready "${TMPDIR:-/tmp}/manager.$$" || { echo "the clipboard manager did not start"; exit 1; }

"$helper" "$text" || { echo "the program did not end normally"; exit 1; }
after=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
if [ "$after" != "$text" ]; then
    echo "after the end the clipboard holds \"$after\", not \"$text\""
    exit 1
fi
echo "the clipboard kept \"$text\" after the program ended"
