#!/usr/bin/env bash
# A note kept on top is on top again after the next start, at its place; a note that is not
# stays normal. The window manager's hint is what other programs see, so that is checked.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
mkdir -p "$E2E_DATA"
write_note() {
    local id=$1 x=$2 istop=$3 title=$4
    printf '[VALUE_SECTION]\r\ntitle=%s\r\nscr_x=%s\r\nscr_y=100\r\nisshow=1\r\nistop=%s\r\n' \
        "$title" "$x" "$istop" >"$E2E_DATA/$id.ini"
    # A body whose only line is the title, so the window carries it as its name.
    printf '{\\rtf1\\ansi %s\\par}' "$title" >"$E2E_DATA/$id.rtf"
}
write_note 20040201_090503_07 100 1 "on top"
write_note 20040201_090503_08 500 0 "normal"

e2e_start_stikko
e2e_wait_notes 2
above() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }

top="$(e2e_note_windows '^on top$' | sed -n 1p)"
normal="$(e2e_note_windows '^normal$' | sed -n 1p)"
[[ -n "$top" && -n "$normal" ]] || e2e_fail "notes not found: $(for w in $(e2e_note_windows); do xdotool getwindowname "$w"; done)"
above "$top" || e2e_fail "the note kept on top is not: $(xprop -id "$top" _NET_WM_STATE)"
above "$normal" && e2e_fail "the normal note is on top"
read -r x y _ _ < <(e2e_geometry "$top")
[[ "$x $y" == "100 100" ]] || e2e_fail "the note on top moved to $x,$y"

kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
[[ "$(e2e_ini_value "$E2E_DATA/20040201_090503_07.ini" istop)" == 1 ]] || e2e_fail "istop was not kept"
e2e_log "ok"
