#!/usr/bin/env bash
# A note dragged by its title bar and resized by its grip with the real pointer stays where it
# was left: its file holds the new place at once, and the next start shows it there. Then its
# tool bar's hide button, found by its name as a screen reader finds it, hides it when clicked.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
e2e_start_stikko

e2e_click_tray 1
e2e_wait_notes 1
wid="$(e2e_note_windows | sed -n 1p)"
read -r x y w h < <(e2e_geometry "$wid")
id="$(e2e_ids | sed -n 1p)"
ini="$E2E_DATA/$id.ini"

# Press on the title bar, beside the caption, and move in steps as a hand would.
xdotool mousemove $((x + 40)) $((y + 10))
sleep 0.2
xdotool mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((x + 40 - step * 30)) $((y + 10 - step * 25))
    sleep 0.03
done
xdotool mouseup 1
sleep 0.3
expect_x=$((x - 300))
expect_y=$((y - 250))
read -r nx ny nw nh < <(e2e_geometry "$wid")
[[ "$nx $ny" == "$expect_x $expect_y" ]] || e2e_fail "dragged to $nx,$ny, expected $expect_x,$expect_y"
e2e_wait_for 5 test "$(e2e_ini_value "$ini" scr_x)" = "$expect_x" ||
    e2e_fail "scr_x in the file is $(e2e_ini_value "$ini" scr_x) after the drag"
[[ "$(e2e_ini_value "$ini" scr_y)" == "$expect_y" ]] || e2e_fail "scr_y not written after the drag"

# The tool bar's grip sits in the bottom-right corner.
xdotool mousemove $((nx + nw - 12)) $((ny + nh - 12))
sleep 0.2
xdotool mousedown 1
for step in 1 2 3 4 5; do
    xdotool mousemove $((nx + nw - 12 + step * 8)) $((ny + nh - 12 + step * 6))
    sleep 0.03
done
xdotool mouseup 1
sleep 0.3
read -r rx ry rw rh < <(e2e_geometry "$wid")
[[ "$rx $ry $rw $rh" == "$nx $ny $((nw + 40)) $((nh + 30))" ]] ||
    e2e_fail "resized to $rx,$ry ${rw}x$rh, expected $nx,$ny $((nw + 40))x$((nh + 30))"
[[ "$(e2e_ini_value "$ini" scr_width)" == "$rw" ]] || e2e_fail "scr_width not written after the resize"

title="$(xdotool getwindowname "$wid")"
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20

e2e_start_stikko
e2e_wait_notes 1
again="$(e2e_note_windows | sed -n 1p)"
[[ "$(xdotool getwindowname "$again")" == "$title" ]] || e2e_fail "another note came back"
[[ "$(e2e_geometry "$again")" == "$rx $ry $rw $rh" ]] ||
    e2e_fail "the note came back at $(e2e_geometry "$again"), was left at $rx $ry $rw $rh"

centre="$(/usr/bin/python3 "$E2E_LIB_DIR/a11y.py" button "화면에서 숨기기" 2>"$E2E_TMP/a11y.err")" ||
    e2e_fail "$(cat "$E2E_TMP/a11y.err")"
# shellcheck disable=SC2086
xdotool mousemove $centre click 1
e2e_wait_notes 0 5
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_log "ok"
