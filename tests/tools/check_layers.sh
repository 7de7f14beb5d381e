#!/usr/bin/env bash
# The layers of the sources: the core includes nothing from the windows or the program, nor any
# widget or browser engine header; the windows include nothing from the program; no window
# includes or names another window; what lies below the windows includes none of them.
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
# Inside the windows: a window knows its own controls and what lies below the windows (context,
# skin, platform), never another window nor the place that wires them (run).
window_folders="gate main editor browser info"
declare -A window_classes=([gate]="PasswordGate" [main]="MainWindow" [editor]="EntryEditor" [browser]="BrowserWindow"
                           [info]="HelpWindow AboutWindow SplashWindow")
for folder in $window_folders; do
    others=$(echo "$window_folders run" | tr ' ' '\n' | grep -vx "$folder" | paste -sd'|')
    found=$(grep -rnE "#include \"windows/($others)/" "$src/windows/$folder")
    names=""
    for other in $window_folders; do
        [ "$other" = "$folder" ] && continue
        for cls in ${window_classes[$other]}; do
            names+=$(grep -rnw "$cls" "$src/windows/$folder")
        done
    done
    if [ -n "$found$names" ]; then
        echo "the window folder $folder reaches another window or the wiring:"
        echo "$found$names"
        bad=1
    fi
done
# The windows of one folder do not name each other either.
for cls in ${window_classes[info]}; do
    for other in ${window_classes[info]}; do
        [ "$cls" = "$other" ] && continue
        found=$(grep -nw "$other" "$src/windows/info/$cls".{h,cpp} 2>/dev/null)
        if [ -n "$found" ]; then
            echo "$cls names $other:"
            echo "$found"
            bad=1
        fi
    done
done
for folder in context skin platform; do
    found=$(grep -rnE '#include "windows/(gate|main|editor|browser|info|run)/' "$src/windows/$folder")
    if [ -n "$found" ]; then
        echo "$folder, below the windows, includes a window or the wiring:"
        echo "$found"
        bad=1
    fi
done
[ $bad -eq 0 ] && echo "layers hold: core <- windows (each window on its own) <- app"
exit $bad
