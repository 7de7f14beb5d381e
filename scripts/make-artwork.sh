#!/usr/bin/env bash
# Draws all of Keyhaven's artwork from scratch with ImageMagick vector
# drawing (MVG), then writes the Qt resource file and the desktop entry.
#
#   scripts/make-artwork.sh          (run from anywhere)
#
# Needs: ImageMagick 6 or 7 (`convert` or `magick`) and the DejaVu fonts.
# Output goes to resources/images/, resources/images.qrc and
# resources/keyhaven.desktop. Re-running overwrites them.

set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="$ROOT/resources/images"
mkdir -p "$OUT"

if command -v magick >/dev/null 2>&1; then
    IM=(magick)
elif command -v convert >/dev/null 2>&1; then
    IM=(convert)
else
    echo "make-artwork: ImageMagick (convert/magick) is required" >&2
    exit 1
fi

TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

# ---------------------------------------------------------------- fonts ----
find_font() {   # $1 = file name, $2 = fontconfig pattern
    local f
    for d in /usr/share/fonts/truetype/dejavu /usr/share/fonts/dejavu \
             /usr/share/fonts/TTF /usr/local/share/fonts; do
        [[ -f "$d/$1" ]] && { echo "$d/$1"; return; }
    done
    if command -v fc-match >/dev/null 2>&1; then
        f="$(fc-match -f '%{file}' "$2" 2>/dev/null || true)"
        [[ -n "$f" && -f "$f" ]] && { echo "$f"; return; }
    fi
    echo "make-artwork: font $1 not found (install fonts-dejavu)" >&2
    exit 1
}
FONT_BOLD="$(find_font DejaVuSans-Bold.ttf 'DejaVu Sans:bold')"
FONT_BOOK="$(find_font DejaVuSans.ttf 'DejaVu Sans')"

# --------------------------------------------------------------- palette ---
# Deep teal family with a warm amber accent; used by every picture.
TEAL_DEEP='#0B3440'     # darkest background
TEAL_DARK='#12505C'     # background, light end
TEAL_MID='#1B6B73'      # line-icon accent colour
TEAL_INK='#1D4E5A'      # line-icon outlines
TEAL_PALE='#D5ECEB'     # light fills inside outlines
TEAL_MIST='#A9D6D3'     # text on dark backgrounds
AMBER='#E8A23A'         # warm accent
AMBER_LIGHT='#FFD98A'
AMBER_DARK='#B8731C'
GREEN='#2E8B57'
RED='#B8443A'
WHITE='#FFFFFF'
CREAM='#F6F1E7'

# Deterministic output: no timestamps or other variable chunks.
# shellcheck disable=SC2054  # the commas belong to ImageMagick arguments
PNG_OPTS=(-strip -define png:exclude-chunks=date,time -define png:color-type=6)
JPG_OPTS=(-strip -quality 93 -sampling-factor 1x1 -interlace none)

# ------------------------------------------------------------------ logo ---
# A stylised key lying diagonally in a shield. Everything is laid out on a
# 256 x 256 design grid; the helpers below scale it to any pixel size.

SHIELD_PATH='M128,14 C160,30 196,36 226,36 L226,120 C226,182 184,222 128,244 C72,222 30,182 30,120 L30,36 C60,36 96,30 128,14 Z'

# One outline for the whole key (bow with its hole, shaft, collar, two
# teeth), drawn upright around (128,132) and then turned 45 degrees so the
# bow sits top-left and the teeth hang down from the bit at bottom-right.
KEY_PATH='M91.5,86 A36.5,36.5 0 1,1 164.5,86 A36.5,36.5 0 1,1 91.5,86 Z M110.5,86 A17.5,17.5 0 1,0 145.5,86 A17.5,17.5 0 1,0 110.5,86 Z M119,112 L137,112 L137,210 Q137,214 133,214 L123,214 Q119,214 119,210 Z M111,124 L145,124 L145,135 L111,135 Z M126,171 L126,184 L99,184 Q97,184 97,182 L97,173 Q97,171 99,171 Z M126,196 L126,214 L93,214 Q91,214 91,212 L91,198 Q91,196 93,196 Z'

scale_of() { awk -v n="$1" 'BEGIN { printf "%.6f", n / 256 }'; }

shield_mvg() {   # $1 = pixel size
    local s; s="$(scale_of "$1")"
    cat <<EOF
viewbox 0 0 $1 $1
affine $s,0,0,$s,0,0
push defs
push gradient 'rim' linear 0,0 0,230
stop-color '#C4E6E2' 0
stop-color '#6FB3B1' 1
pop gradient
push gradient 'field' linear 0,0 0,198
stop-color '#1F7F86' 0
stop-color '#0D3E4A' 1
pop gradient
pop defs
push graphic-context
fill 'url(#rim)'
path '$SHIELD_PATH'
pop graphic-context
push graphic-context
translate 128,129
scale 0.86,0.86
translate -128,-129
fill 'url(#field)'
path '$SHIELD_PATH'
fill '#FFFFFF'
fill-opacity 0.07
path 'M128,14 C96,30 60,36 30,36 L30,120 C30,182 72,222 128,244 Z'
pop graphic-context
EOF
}

key_mask_mvg() {   # $1 = pixel size; white key on black
    local s; s="$(scale_of "$1")"
    cat <<EOF
viewbox 0 0 $1 $1
affine $s,0,0,$s,0,0
translate 126,124
rotate -45
scale 0.8,0.8
translate -128,-132
fill '#FFFFFF'
fill-rule nonzero
path '$KEY_PATH'
EOF
}

# make_logo OUT SIZE: the logo alone on a transparent square. Drawn at four
# times the size and reduced, for smooth edges at every size.
make_logo() {
    local out="$1" n="$2" big=$(( $2 * 4 ))
    local blur off
    blur=$(( big / 90 + 1 )); off=$(( big / 120 + 1 ))
    "${IM[@]}" -size "${big}x${big}" xc:none -draw "$(shield_mvg "$big")" "$TMP/shield.png"
    "${IM[@]}" -size "${big}x${big}" xc:black -draw "$(key_mask_mvg "$big")" \
        -alpha off "$TMP/keymask.png"
    # gold: light at the bow, deeper amber toward the bit
    "${IM[@]}" -size "${big}x${big}" xc: -sparse-color barycentric \
        "$(( big * 30 / 100 )),$(( big * 24 / 100 )) $AMBER_LIGHT $(( big * 72 / 100 )),$(( big * 74 / 100 )) #D7881F" \
        "$TMP/keymask.png" -alpha off -compose CopyOpacity -composite "$TMP/keygold.png"
    # soft shadow under the key
    "${IM[@]}" "$TMP/keymask.png" -blur 0x$blur -evaluate multiply 0.45 \
        -roll +$off+$(( off * 2 )) "$TMP/keyshadowmask.png"
    "${IM[@]}" -size "${big}x${big}" xc:'#021A20' "$TMP/keyshadowmask.png" \
        -alpha off -compose CopyOpacity -composite "$TMP/keyshadow.png"
    "${IM[@]}" "$TMP/shield.png" \
        "$TMP/keyshadow.png" -compose over -composite \
        "$TMP/keygold.png" -compose over -composite \
        -filter Lanczos -resize "${n}x${n}" "${PNG_OPTS[@]}" "PNG32:$out"
}

draw_png() {   # $1 = output, $2 = width, $3 = height, $4 = MVG text
    "${IM[@]}" -size "${2}x${3}" xc:none -draw "$4" "${PNG_OPTS[@]}" "PNG32:$1"
}

# Application icon: logo with a soft drop shadow, 256 and 48 pixels.
make_app_icon() {   # $1 = output, $2 = size
    local n="$2"
    make_logo "$TMP/logo-icon.png" "$n"
    "${IM[@]}" "$TMP/logo-icon.png" \
        \( +clone -background '#06222A' -shadow 40x$(( n / 64 + 1 ))+0+$(( n / 96 + 1 )) \) \
        +swap -background none -layers merge +repage \
        -gravity center -extent "${n}x${n}" "${PNG_OPTS[@]}" "PNG32:$1"
}

# ------------------------------------------------------ wave background ---
# Dark teal gradient with calm harbour waves along the bottom edge.
background() {   # $1 = output, $2 = width, $3 = height, $4 = wave top y
    local w="$2" h="$3" y="$4"
    local waves
    waves="$(awk -v w="$w" -v h="$h" -v y="$y" 'BEGIN {
        cols[0] = "#1C6E76"; cols[1] = "#15606A"; cols[2] = "#0F4E59"
        op[0] = 0.55; op[1] = 0.70; op[2] = 0.90
        for (k = 0; k < 3; k++) {
            base = y + k * (h - y) / 3.2
            amp  = 4 + k
            len  = 120 - k * 18
            ph   = k * 37
            printf "push graphic-context\nfill \"%s\"\nfill-opacity %.2f\n", cols[k], op[k]
            printf "path \"M0,%d", h + 2
            for (x = 0; x <= w; x += 2)
                printf " L%d,%.2f", x, base + amp * sin((x + ph) * 6.2832 / len)
            printf " L%d,%d Z\"\npop graphic-context\n", w, h + 2
        }
    }')"
    "${IM[@]}" -size "${h}x${w}" gradient:"${TEAL_DARK}-${TEAL_DEEP}" -rotate 90 \
        \( -size "${w}x${h}" radial-gradient:'#2A8A8F-#0B3440' -alpha set \
           -channel A -evaluate set 35% +channel \) \
        -compose over -composite \
        -draw "$waves" "${PNG_OPTS[@]}" "PNG32:$1"
}

# --------------------------------------------------------------- splash ---
# The product name, company, web domain and version are drawn by the program from its version
# information, so a new version never shows an old number.
make_splash() {
    local w=476 h=316
    background "$TMP/splash-bg.png" $w $h 256
    make_logo "$TMP/logo150.png" 150
    "${IM[@]}" "$TMP/logo150.png" \( +clone -background '#021418' -shadow 60x5+0+4 \) \
        +swap -background none -layers merge +repage "$TMP/logo150s.png"
    "${IM[@]}" "$TMP/splash-bg.png" \
        "$TMP/logo150s.png" -geometry +34+72 -compose over -composite \
        -fill "$AMBER" -draw 'roundrectangle 208,152 288,155 1.5,1.5' \
        -fill "$TEAL_MIST" -font "$FONT_BOOK" -pointsize 15 \
            -annotate +208+184 'Your passwords, kept close' \
        -gravity northwest \
        -fill none -stroke '#06222A' -strokewidth 1 -draw "rectangle 0.5,0.5 $((w-1)).5,$((h-1)).5" \
        -stroke '#FFFFFF' -strokewidth 1 -draw "stroke-opacity 0.08 rectangle 1.5,1.5 $((w-2)).5,$((h-2)).5" \
        -background "$TEAL_DEEP" -flatten -extent ${w}x${h} \
        "${JPG_OPTS[@]}" "$OUT/splash.jpg"
}

# --------------------------------------------------------- about banner ---
# The program draws the product name over it; 69 pixels high, as its picture box.
make_about_banner() {
    local w=497 h=69
    background "$TMP/about-bg.png" $w $h 54
    make_logo "$TMP/logo56.png" 56
    "${IM[@]}" "$TMP/about-bg.png" \
        "$TMP/logo56.png" -geometry +12+6 -compose over -composite \
        -fill "$TEAL_MIST" -font "$FONT_BOOK" -pointsize 12 \
            -gravity east -annotate +18-2 'Your passwords, kept close' \
        -gravity northwest \
        -fill "$AMBER" -draw "rectangle 0,$((h-2)) $((w-1)),$((h-1))" \
        -background "$TEAL_DEEP" -flatten -extent ${w}x${h} \
        "${JPG_OPTS[@]}" "$OUT/about-banner.jpg"
}

# --------------------------------------------------- 32 x 32 button icons ---
# Shared style: 2 px dark-teal outlines with pale fills, round joins, and
# heavy round strokes for the simple plus / check / cross glyphs.
LINE="stroke '$TEAL_INK' stroke-width 2 stroke-linecap round stroke-linejoin round"

# Two stacked sheets used by the three copy icons; the front sheet spans
# x 11..28, y 9..29.
SHEETS="push graphic-context
$LINE
stroke-width 1.6
fill '$TEAL_PALE'
path 'M5,4 L16,4 L20,8 L20,22 L5,22 Z'
pop graphic-context
push graphic-context
$LINE
fill '$WHITE'
path 'M11,9 L23,9 L28,14 L28,29 L11,29 Z'
fill none
stroke-width 1.5
path 'M23,9 L23,14 L28,14'
pop graphic-context"

make_button_icons() {
    draw_png "$OUT/add.png" 32 32 "
push graphic-context
stroke '$TEAL_INK' stroke-width 6 stroke-linecap round stroke-opacity 0.18
line 16,7.5 16,25.5
line 7.5,16.5 25.5,16.5
pop graphic-context
push graphic-context
stroke '$TEAL_MID' stroke-width 4 stroke-linecap round
line 16,6 16,26
line 6,16 26,16
pop graphic-context"

    draw_png "$OUT/delete.png" 32 32 "
push graphic-context
$LINE
fill '$TEAL_PALE'
path 'M8.5,11 L23.5,11 L22,28 L10,28 Z'
fill none
line 6,8 26,8
path 'M12.5,8 L12.5,5 L19.5,5 L19.5,8'
stroke-width 1.6
stroke '$TEAL_MID'
line 12.5,14.5 13,24.5
line 16,14.5 16,24.5
line 19.5,14.5 19,24.5
pop graphic-context"

    draw_png "$OUT/edit.png" 32 32 "
push graphic-context
translate 16,16
rotate -45
stroke '$TEAL_INK' stroke-width 1.6 stroke-linejoin round
fill '#F3DCAE'
path 'M-14,0 L-8,-4 L-8,4 Z'
fill '$AMBER'
rectangle -8,-4 7,4
fill '#9FB7BB'
rectangle 7,-4 10,4
fill '$RED'
path 'M10,-4 L12,-4 Q14,-4 14,-2 L14,2 Q14,4 12,4 L10,4 Z'
stroke none
fill '$TEAL_INK'
path 'M-14,0 L-11.3,-1.8 L-11.3,1.8 Z'
fill '#FFFFFF'
fill-opacity 0.45
rectangle -7,-3 6,-1.6
pop graphic-context"

    draw_png "$OUT/goto.png" 32 32 "
push graphic-context
$LINE
fill '$WHITE'
path 'M15,9 L7,9 Q5,9 5,11 L5,25 Q5,27 7,27 L21,27 Q23,27 23,25 L23,17'
pop graphic-context
push graphic-context
stroke '$TEAL_MID' stroke-width 2.6 stroke-linecap round stroke-linejoin round fill none
line 13,19 25.5,6.5
polyline 17.5,5.5 26.5,5.5 26.5,14.5
pop graphic-context"

    draw_png "$OUT/website.png" 32 32 "
push graphic-context
$LINE
fill '$TEAL_PALE'
circle 16,16 16,4.5
pop graphic-context
push graphic-context
stroke '$TEAL_MID' stroke-width 1.5 fill none
ellipse 16,16 5,11.5 0,360
line 4.5,16 27.5,16
path 'M6.2,10.5 Q16,13.5 25.8,10.5'
path 'M6.2,21.5 Q16,18.5 25.8,21.5'
pop graphic-context
push graphic-context
$LINE
fill none
circle 16,16 16,4.5
pop graphic-context"

    draw_png "$OUT/copy-user.png" 32 32 "
$SHEETS
push graphic-context
fill '$TEAL_MID'
circle 19.5,16.5 19.5,13.2
path 'M13.8,26.5 Q13.8,20.6 19.5,20.6 Q25.2,20.6 25.2,26.5 Z'
pop graphic-context"

    draw_png "$OUT/copy-password.png" 32 32 "
$SHEETS
push graphic-context
stroke '$AMBER_DARK' stroke-width 2.4 stroke-linecap round stroke-linejoin round
fill none
circle 16,19.5 16,16.7
line 18.8,19.5 25.5,19.5
line 22.5,19.5 22.5,22.5
line 25.5,19.5 25.5,23
pop graphic-context
push graphic-context
fill '$AMBER'
stroke none
circle 16,19.5 16,18.6
pop graphic-context"

    draw_png "$OUT/copy-location.png" 32 32 "
$SHEETS
push graphic-context
stroke '#8E3329' stroke-width 1.4 stroke-linejoin round
fill '#D9603B'
path 'M19.5,27 C17.5,24 14.2,21 14.2,17.3 A5.3,5.3 0 1,1 24.8,17.3 C24.8,21 21.5,24 19.5,27 Z'
fill '$WHITE'
stroke none
circle 19.5,17.2 19.5,15.2
pop graphic-context"

    draw_png "$OUT/save.png" 32 32 "
push graphic-context
stroke '$TEAL_INK' stroke-width 6 stroke-linecap round stroke-linejoin round stroke-opacity 0.18 fill none
polyline 6.5,18 13,24.5 25.5,10
pop graphic-context
push graphic-context
stroke '$GREEN' stroke-width 4 stroke-linecap round stroke-linejoin round fill none
polyline 6.5,16.5 13,23 25.5,8.5
pop graphic-context"

    draw_png "$OUT/cancel.png" 32 32 "
push graphic-context
stroke '$TEAL_INK' stroke-width 6 stroke-linecap round stroke-opacity 0.18
line 8,9.5 24,25.5
line 24,9.5 8,25.5
pop graphic-context
push graphic-context
stroke '$RED' stroke-width 4 stroke-linecap round
line 8,8 24,24
line 24,8 8,24
pop graphic-context"
}

# ------------------------------------------------- browser button icons ---
make_browser_icons() {
    local arrow="stroke '$TEAL_MID' stroke-width 2.6 stroke-linecap round stroke-linejoin round fill none"

    draw_png "$OUT/back.png" 24 24 "
push graphic-context
$arrow
line 5,12 19,12
polyline 11,6 5,12 11,18
pop graphic-context"

    draw_png "$OUT/forward.png" 24 24 "
push graphic-context
$arrow
line 5,12 19,12
polyline 13,6 19,12 13,18
pop graphic-context"

    draw_png "$OUT/stop.png" 24 24 "
push graphic-context
fill '$RED'
stroke '#8E3329' stroke-width 1 stroke-linejoin round
polygon 8.3,3 15.7,3 21,8.3 21,15.7 15.7,21 8.3,21 3,15.7 3,8.3
pop graphic-context
push graphic-context
stroke '$WHITE' stroke-width 2.4 stroke-linecap round
line 8.8,8.8 15.2,15.2
line 15.2,8.8 8.8,15.2
pop graphic-context"

    draw_png "$OUT/refresh.png" 24 24 "
push graphic-context
$arrow
path 'M18.4,8 A7.5,7.5 0 1,0 19.5,13.5'
polyline 19,3.5 19,8.5 14,8.5
pop graphic-context"

    # Small 'Go' pill with an arrow.
    "${IM[@]}" -size 46x16 xc:none -draw "
push defs
push gradient 'pill' linear 0,0 0,16
stop-color '#23848B' 0
stop-color '$TEAL_DARK' 1
pop gradient
pop defs
push graphic-context
fill 'url(#pill)'
stroke '$TEAL_DEEP' stroke-width 1
roundrectangle 0.5,0.5 45.5,15.5 7.5,7.5
pop graphic-context
push graphic-context
stroke '$AMBER_LIGHT' stroke-width 1.8 stroke-linecap round stroke-linejoin round fill none
line 27,8 37,8
polyline 33.5,4.5 37,8 33.5,11.5
pop graphic-context" \
        -fill "$CREAM" -font "$FONT_BOLD" -pointsize 10 -annotate +8+12 'Go' \
        "${PNG_OPTS[@]}" "PNG32:$OUT/go.png"
}

# ---------------------------------------------------- resource listings ---
IMAGES=(
    splash.jpg about-banner.jpg keyhaven.png keyhaven-48.png
    add.png delete.png edit.png goto.png website.png
    copy-user.png copy-password.png copy-location.png save.png cancel.png
    back.png forward.png stop.png refresh.png go.png
)

write_qrc() {
    {
        echo '<!DOCTYPE RCC>'
        echo '<RCC version="1.0">'
        echo '    <qresource prefix="/images">'
        for f in "${IMAGES[@]}"; do
            echo "        <file alias=\"$f\">images/$f</file>"
        done
        echo '    </qresource>'
        echo '</RCC>'
    } > "$ROOT/resources/images.qrc"
}

write_desktop() {
    cat > "$ROOT/resources/keyhaven.desktop" <<'EOF'
[Desktop Entry]
Type=Application
Version=1.5
Name=Keyhaven
GenericName=Password Keeper
Comment=Password keeper
Icon=keyhaven
Exec=@EXEC@
Terminal=false
Categories=Utility;Security;
Keywords=password;passwords;keeper;vault;
StartupNotify=true
EOF
}

# ------------------------------------------------------------------ main ---
make_app_icon "$OUT/keyhaven.png" 256
make_app_icon "$OUT/keyhaven-48.png" 48
make_splash
make_about_banner
make_button_icons
make_browser_icons
write_qrc
write_desktop

for f in "${IMAGES[@]}"; do
    [[ -s "$OUT/$f" ]] || { echo "make-artwork: $f was not made" >&2; exit 1; }
done
echo "make-artwork: wrote ${#IMAGES[@]} images, images.qrc and keyhaven.desktop"
