#!/usr/bin/env bash
# The layers of the sources: the core includes nothing from the windows or the program, nor any
# widget or browser engine header; the windows include nothing from the program.
#   check_layers.sh SRC-FOLDER
set -uo pipefail
src="$1"
bad=0
core=$(grep -rnE '#include [<"](windows/|app/|QtWidgets|QtWebEngine|Q(Widget|Application|Dialog|MessageBox|Label|PushButton|LineEdit|MainWindow|WebEngine)[A-Za-z]*>)' "$src/core")
if [ -n "$core" ]; then
    echo "the core includes from above it:"
    echo "$core"
    bad=1
fi
windows=$(grep -rnE '#include "app/' "$src/windows")
if [ -n "$windows" ]; then
    echo "the windows include from the program:"
    echo "$windows"
    bad=1
fi
[ $bad -eq 0 ] && echo "layers hold: core <- windows <- app"
exit $bad
