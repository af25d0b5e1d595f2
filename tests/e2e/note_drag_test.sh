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
ini_says() { [[ "$(e2e_ini_value "$ini" "$1")" == "$2" ]]; }
placed_at() { [[ "$(e2e_geometry "$wid")" == "$1" ]]; }

# Press on the middle of the title bar (a screen reader knows it by the note's title) and move
# in steps, as a hand does, the note following each one.
box="$(e2e_control_box "$wid" panel "$(xdotool getwindowname "$wid")")"
read -r bx by bw bh _ <<<"$box"
px=$((bx + bw / 2)) py=$((by + bh / 2))
xdotool mousemove $px $py mousedown 1
for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove $((px - step * 30)) $((py - step * 25))
    e2e_wait_for 5 placed_at "$((x - step * 30)) $((y - step * 25)) $w $h" ||
        e2e_fail "step $step of the drag put the note at $(e2e_geometry "$wid")"
done
xdotool mouseup 1
nx=$((x - 300)) ny=$((y - 250)) nw=$w nh=$h
e2e_holds 1 placed_at "$nx $ny $nw $nh" || e2e_fail "dragged to $(e2e_geometry "$wid"), expected $nx,$ny"
e2e_wait_for 5 ini_says scr_x "$nx" || e2e_fail "scr_x in the file is $(e2e_ini_value "$ini" scr_x) after the drag"
ini_says scr_y "$ny" || e2e_fail "scr_y not written after the drag"

# The tool bar's grip.
box="$(e2e_control_box "$wid" filler "크기 조절")"
read -r bx by bw bh _ <<<"$box"
px=$((bx + bw / 2)) py=$((by + bh / 2))
xdotool mousemove $px $py mousedown 1
for step in 1 2 3 4 5; do
    xdotool mousemove --sync $((px + step * 8)) $((py + step * 6))
done
xdotool mouseup 1
rx=$nx ry=$ny rw=$((nw + 40)) rh=$((nh + 30))
e2e_wait_for 5 placed_at "$rx $ry $rw $rh" ||
    e2e_fail "resized to $(e2e_geometry "$wid"), expected $rx,$ry ${rw}x$rh"
e2e_wait_for 5 ini_says scr_width "$rw" || e2e_fail "scr_width not written after the resize"

title="$(xdotool getwindowname "$wid")"
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20

e2e_start_stikko
e2e_wait_notes 1
again="$(e2e_note_windows | sed -n 1p)"
[[ "$(xdotool getwindowname "$again")" == "$title" ]] || e2e_fail "another note came back"
[[ "$(e2e_geometry "$again")" == "$rx $ry $rw $rh" ]] ||
    e2e_fail "the note came back at $(e2e_geometry "$again"), was left at $rx $ry $rw $rh"

e2e_click_control "$again" "push button" "화면에서 숨기기"
e2e_wait_notes 0 5
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_log "ok"
