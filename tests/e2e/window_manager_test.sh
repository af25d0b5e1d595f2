#!/usr/bin/env bash
# With a window manager (openbox): a new note comes in front of a note kept on top, with the
# keyboard focus, and goes back behind it once the user has gone elsewhere; a question the note
# puts up opens over it and above the note kept on top; a move the window manager makes is kept
# in the note's file.
source "$(dirname "$0")/lib.sh"

e2e_require openbox wmctrl import convert
e2e_start_desktop
openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for 10 wmctrl -m || e2e_fail "openbox did not start: $(cat "$E2E_TMP/openbox.log")"

# Kept on top, a blue body, 30 pixels up and left of where the next new note lands.
mkdir -p "$E2E_DATA"
printf '[VALUE_SECTION]\r\nscr_x=%d\r\nscr_y=%d\r\nisshow=1\r\nistop=1\r\n[VALUE_COLOR_SECTION]\r\nbatang_color=16711680\r\n' \
    $((E2E_WORK_W - 275 - 30)) $((E2E_WORK_H - 218 - 30)) >"$E2E_DATA/20040201_090503_07.ini"
printf '{\\rtf1\\ansi kept on top\\par}' >"$E2E_DATA/20040201_090503_07.rtf"
e2e_start_stikko
e2e_wait_notes 1

# The colour where both notes overlap, as RRGGBB.
overlap_colour() {
    import -window root "$E2E_TMP/shot.png"
    convert "$E2E_TMP/shot.png" -format '%[hex:p{'$((E2E_WORK_W - 100))','$((E2E_WORK_H - 100))'}]' info:- | cut -c1-6
}
[[ "$(overlap_colour)" == 0000FF ]] || e2e_fail "the note kept on top is not where expected"

e2e_click_tray 1
e2e_wait_notes 2
new="$(e2e_note_windows '^작성일' | sed -n 1p)"
[[ -n "$new" ]] || e2e_fail "the new note is not found"
in_front() { [[ "$(overlap_colour)" != 0000FF ]]; }
e2e_wait_for 5 in_front || e2e_fail "the new note is behind the note kept on top"
[[ "$(xdotool getwindowfocus)" == "$new" ]] || e2e_fail "the new note has not the focus"

# The user goes elsewhere: the new note is a normal window again, behind the one kept on top.
xdotool mousemove 300 300 click 1
behind() { [[ "$(overlap_colour)" == 0000FF ]]; }
e2e_wait_for 5 behind || e2e_fail "the new note stayed above the note kept on top"

# The delete question opens over the new note and above the note kept on top, though the new
# note is behind that one now (its tool bar is not).
centre="$(/usr/bin/python3 "$E2E_LIB_DIR/a11y.py" button "완전 삭제" "$(xdotool getwindowname "$new")" \
    2>"$E2E_TMP/a11y.err")" || e2e_fail "$(cat "$E2E_TMP/a11y.err")"
# shellcheck disable=SC2086
xdotool mousemove $centre click 1
e2e_wait_for 5 e2e_note_windows '^확인$' || e2e_fail "no question before the delete"
box="$(e2e_note_windows '^확인$' | sed -n 1p)"
top="$(e2e_note_windows '^kept on top$' | sed -n 1p)"
# Where a window is in the stacking order the window manager keeps (1 = the bottom).
stack_position() {
    xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //' | tr -d ' ' | tr ',' '\n' |
        grep -nx "$(printf '0x%x' "$1")" | cut -d: -f1
}
stacked_above() {
    local upper lower
    upper="$(stack_position "$1")"
    lower="$(stack_position "$2")"
    [[ -n "$upper" && -n "$lower" ]] && ((upper > lower))
}
e2e_wait_for 5 stacked_above "$box" "$top" ||
    e2e_fail "the question is under the note kept on top: $(xprop -root _NET_CLIENT_LIST_STACKING)"
xprop -id "$box" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || e2e_fail "the question is not kept above"
[[ "$(xprop -id "$box" WM_TRANSIENT_FOR)" == *"$(printf '0x%x' "$new")"* ]] ||
    e2e_fail "the question does not belong to its note: $(xprop -id "$box" WM_TRANSIENT_FOR)"
e2e_keys "$box" Escape # No: the note stays
e2e_wait_for 5 bash -c "! xdotool getwindowname $box" || e2e_fail "the question did not close"
e2e_wait_notes 2

# The window manager moves the new note (as for Alt+drag or its keyboard moves).
id="$(e2e_ids | tail -1)"
wmctrl -i -r "$new" -e 0,200,150,-1,-1
ini_says() { [[ "$(e2e_ini_value "$E2E_DATA/$id.ini" "$1")" == "$2" ]]; }
e2e_wait_for 5 ini_says scr_x 200 || e2e_fail "the move was not kept: scr_x=$(e2e_ini_value "$E2E_DATA/$id.ini" scr_x)"
ini_says scr_y 150 || e2e_fail "the move was not kept: scr_y=$(e2e_ini_value "$E2E_DATA/$id.ini" scr_y)"

kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_log "ok"
