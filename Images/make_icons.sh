#!/usr/bin/env bash
# Draws the eight 32x32 toolbar icons used by the main window and writes
# them next to this script. The PNGs are checked in; the build does not
# run this script. Output is deterministic (no metadata, no timestamps).
set -euo pipefail

cd "$(dirname "$0")"

# Palette: each colour comes with a darker shade for the 1-px outline.
YEL=#F5CF5F;  YEL_D=#E2AE38;  YEL_O=#8E6714
BLU=#3D73C9;  BLU_L=#6F9BE0;  BLU_O=#1C3E7A
GRN=#4DB151;  GRN_L=#8FD993;  GRN_O=#24692A
RED=#E2463B;  RED_L=#F28B83;  RED_O=#8C1D16
BRN=#B8783A;  BRN_L=#D39A5E;  BRN_O=#5A3713
GRY=#D3D9E0;  GRY_O=#56606C
SKY=#9FD3F5;  SUN=#FFD53A;    SUN_O=#B58A00
WHT=#FFFFFF;  PAPER=#F7F7F2

# icon NAME DRAW-ARGS... : render onto a transparent 32x32 canvas.
icon() {
    local name=$1; shift
    convert -size 32x32 xc:none "$@" \
        -strip -define png:exclude-chunks=date,time \
        PNG32:"$name"
}

# Open Data: opened folder with a sheet of paper inside.
icon folder.png \
    -stroke "$YEL_O" -strokewidth 1 \
    -fill "$YEL_D" -draw "polygon 1.5,6.5 10.5,6.5 12.5,8.5 25.5,8.5 25.5,26.5 1.5,26.5" \
    -stroke "#8A8A80" -fill "$PAPER" -draw "rectangle 5.5,10.5 22.5,20.5" \
    -stroke "#B4B4AA" -draw "line 8,13.5 20,13.5" -draw "line 8,16.5 20,16.5" \
    -stroke "$YEL_O" -fill "$YEL" -draw "polygon 7.5,14.5 30.5,14.5 25.5,26.5 1.5,26.5" \
    -stroke "#FBE7A6" -draw "line 8.5,15.5 29,15.5"

# Save Data: blue floppy disk.
icon disk.png \
    -stroke "$BLU_O" -strokewidth 1 \
    -fill "$BLU" -draw "polygon 3.5,3.5 25.5,3.5 28.5,6.5 28.5,28.5 3.5,28.5" \
    -stroke "$GRY_O" -fill "$GRY" -draw "rectangle 9.5,3.5 22.5,12.5" \
    -stroke none -fill "$BLU_O" -draw "rectangle 18,5 20,11" \
    -stroke "$GRY_O" -fill "$PAPER" -draw "rectangle 7.5,16.5 24.5,28.5" \
    -stroke "#A8B4C4" -draw "line 10,20.5 22,20.5" -draw "line 10,23.5 22,23.5" \
    -stroke "$BLU_L" -draw "line 4.5,4.5 4.5,27.5"

# Clear Data: scissors, blades up, finger rings down.
icon cut.png \
    -stroke "$GRY_O" -strokewidth 1 -fill "$GRY" \
    -draw "polygon 24,1.5 13.4,14.5 10.2,21.76 12.8,23.24 18.6,17.5" \
    -draw "polygon 8,1.5 18.6,14.5 21.8,21.76 19.2,23.24 13.4,17.5" \
    -fill none -stroke "$RED_O" -strokewidth 3 \
    -draw "ellipse 9.5,26.5 4,3.2 0,360" -draw "ellipse 22.5,26.5 4,3.2 0,360" \
    -stroke "$RED" -strokewidth 1.4 \
    -draw "ellipse 9.5,26.5 4,3.2 0,360" -draw "ellipse 22.5,26.5 4,3.2 0,360" \
    -stroke "$GRY_O" -strokewidth 1 -fill "$WHT" -draw "circle 16,16 16,17.4"

# Round button with a highlight; used by Add Point and Delete Selection.
button() {
    local fill=$1 light=$2 outline=$3
    printf '%s\n' \
        -stroke "$outline" -strokewidth 1 -fill "$fill" \
        -draw "circle 16,16 16,2.5" \
        -stroke none -fill "$light" \
        -draw "ellipse 16,9.5 8.5,4.5 0,360" \
        -fill "$fill" -draw "ellipse 16,12 10,4.5 0,360"
}
mapfile -t GREEN_BUTTON < <(button "$GRN" "$GRN_L" "$GRN_O")
mapfile -t RED_BUTTON < <(button "$RED" "$RED_L" "$RED_O")

# Add Point: green button with a white plus.
icon plus_button.png "${GREEN_BUTTON[@]}" \
    -stroke "$GRN_O" -strokewidth 1 -fill "$WHT" \
    -draw "polygon 13.5,7.5 18.5,7.5 18.5,13.5 24.5,13.5 24.5,18.5 18.5,18.5 18.5,24.5 13.5,24.5 13.5,18.5 7.5,18.5 7.5,13.5 13.5,13.5"

# Delete Selection: red button with a white cross.
icon delete.png "${RED_BUTTON[@]}" \
    -stroke "$RED_O" -strokewidth 1 -fill "$WHT" \
    -draw "polygon 8.5,11 11,8.5 16,13.5 21,8.5 23.5,11 18.5,16 23.5,21 21,23.5 16,18.5 11,23.5 8.5,21 13.5,16"

# Exit: open doorway with a green arrow going in.
icon door_in.png \
    -stroke "$BRN_O" -strokewidth 1 \
    -fill "#3A2A1C" -draw "rectangle 13.5,2.5 29.5,29.5" \
    -fill "$BRN" -draw "polygon 22.5,5.5 29.5,2.5 29.5,29.5 22.5,26.5" \
    -stroke "$BRN_L" -draw "line 23.5,7 23.5,25" \
    -stroke "$SUN_O" -fill "$SUN" -draw "circle 25,16.5 25,17.9" \
    -stroke "$GRN_O" -fill "$GRN" \
    -draw "polygon 1.5,13.5 10.5,13.5 10.5,8.5 19.5,16 10.5,23.5 10.5,18.5 1.5,18.5" \
    -stroke "$GRN_L" -draw "line 2.5,14.5 11.5,14.5"

# circular_arrow A0 A1: outline of a curved arrow around (16,16), running
# clockwise from angle A0 to A1 (degrees, y down) with its head beyond A1.
circular_arrow() {
    awk -v a0="$1" -v a1="$2" 'BEGIN {
        cx = 16; cy = 16; r = 10; w = 2.2; barb = 4.8; head = 30
        d = atan2(0, -1) / 180; out = ""
        for (a = a0; a <= a1; a += 10) out = out pt(r + w, a)
        out = out pt(r + barb, a1) pt(r, a1 + head) pt(r - barb, a1)
        for (a = a1; a >= a0; a -= 10) out = out pt(r - w, a)
        print "polygon" out
    }
    function pt(rad, ang) {
        return sprintf(" %.2f,%.2f", cx + rad * cos(ang * d), cy + rad * sin(ang * d))
    }'
}

# Update Graph: two chasing circular arrows.
icon update.png \
    -stroke "$GRN_O" -strokewidth 1 -fill "$GRN" \
    -draw "$(circular_arrow 195 300)" \
    -draw "$(circular_arrow 15 120)"

# Save Graph: small landscape picture with a floppy disk in the corner.
icon picture_save.png \
    -stroke "$GRY_O" -strokewidth 1 \
    -fill "$WHT" -draw "rectangle 1.5,3.5 26.5,24.5" \
    -stroke none -fill "$SKY" -draw "rectangle 3,5 25,23" \
    -stroke "$SUN_O" -fill "$SUN" -draw "circle 8.5,10 8.5,12.8" \
    -stroke "$GRN_O" -fill "$GRN" \
    -draw "polygon 3,23 3,19.5 9.5,14.5 14,18 20.5,11.5 25,16 25,23" \
    -stroke "$BLU_O" -fill "$BLU" \
    -draw "polygon 17.5,17.5 28,17.5 30.5,20 30.5,30.5 17.5,30.5" \
    -stroke "$GRY_O" -fill "$GRY" -draw "rectangle 20.5,17.5 27.5,21.5" \
    -stroke none -fill "$BLU_O" -draw "rectangle 25,18.5 26,20.5" \
    -stroke "$GRY_O" -fill "$PAPER" -draw "rectangle 19.5,24.5 28.5,30.5"
