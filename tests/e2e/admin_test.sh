#!/usr/bin/env bash
# The note manager on a real desktop: opened from the tray menu at the work area's bottom-right
# corner; while it is open the tray makes no notes; a click on a hidden note's box shows the
# note, the hide shortcut hides it again (a right click in between leaves the selection);
# "닫기" closes it and the tray works again. Set E2E_SHOTS to a folder to keep a screenshot.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
e2e_require import convert
mkdir -p "$E2E_DATA"
note_ini() { # title isshow
    printf '[VALUE_SECTION]\r\ntitle=%s\r\nisshow=%s\r\nscr_x=100\r\nscr_y=100\r\n' "$1" "$2"
    printf '[VALUE_ALRAM_SECTION]\r\nisalram=0\r\n'
}
note_ini "shown note" 1 >"$E2E_DATA/20040101_080000_00.ini"
printf '{\\rtf1 first line\\par shown note\\par}' >"$E2E_DATA/20040101_080000_00.rtf"
note_ini "hidden note" 0 >"$E2E_DATA/20040102_080000_00.ini"
e2e_start_stikko
e2e_wait_notes 1

manager() { e2e_note_windows '^Stikko$' | sed -n 1p | grep .; }
e2e_tray_menu "전체 메모장 상태 보기"
e2e_wait_for 5 manager || e2e_fail "the note manager did not open"
wid="$(manager)"
read -r mx my mw mh < <(e2e_geometry "$wid")
e2e_log "manager at $mx,$my ${mw}x$mh"
((mw == 406 && mh == 293)) || e2e_fail "manager is ${mw}x$mh"
((mx + mw == E2E_WORK_W && my + mh == E2E_WORK_H)) ||
    e2e_fail "manager's bottom-right corner is $((mx + mw)),$((my + mh)), not ${E2E_WORK_W},${E2E_WORK_H}"
# The list's lines, found by their titles as a screen reader reads them.
box="$(e2e_control_box "$wid" "list item" "shown note")"
read -r shown_x shown_y shown_w shown_h _ <<<"$box"
box="$(e2e_control_box "$wid" "list item" "hidden note")"
read -r hidden_x hidden_y _ hidden_h _ <<<"$box"
if [[ -n "${E2E_SHOTS:-}" ]]; then
    mkdir -p "$E2E_SHOTS"
    import -window root "$E2E_TMP/screen.png"
    convert "$E2E_TMP/screen.png" -crop "${mw}x${mh}+${mx}+${my}" "$E2E_SHOTS/manager.png"
fi

# The tray makes no note while the manager is open.
e2e_click_tray 1
note_files_are() { [[ "$(e2e_ids | wc -l)" -eq $1 ]]; }
e2e_holds 2 note_files_are 2 || e2e_fail "the tray made a note while the manager was open"

# The hidden note's line: its check box, which has no accessible object of its own, is drawn
# at the line's left end.
xdotool mousemove $((hidden_x + 10)) $((hidden_y + hidden_h / 2)) click 1
# A note shown for the first time takes its title from its new body, so notes are counted,
# leaving out the manager itself.
notes_open() { e2e_note_windows | while read -r w; do [[ "$(xdotool getwindowname "$w")" != Stikko ]] && echo "$w"; done | wc -l; }
hidden_shown() { [[ "$(notes_open)" -eq 2 ]]; }
e2e_wait_for 5 hidden_shown || e2e_fail "ticking the hidden note did not show it"
[[ "$(e2e_ini_value "$E2E_DATA/20040102_080000_00.ini" isshow)" -eq 1 ]] || e2e_fail "isshow was not written 1"

# A right click on line 1 opens the menu but keeps line 2 selected: the hide shortcut then
# hides the note of line 2.
xdotool mousemove $((shown_x + shown_w / 2)) $((shown_y + shown_h / 2)) click 3
# Its menu: a pop-up window of two items, taller than a tool tip; the tray icon is a small
# pop-up too.
list_menu_open() {
    local w width height
    for w in $(e2e_windows); do
        e2e_is_popup "$w" || continue
        read -r _ _ width height < <(e2e_geometry "$w")
        ((width > 48 && height > 40)) && return 0
    done
    return 1
}
list_menu_closed() { ! list_menu_open; }
e2e_wait_for 5 list_menu_open || e2e_fail "a right click on the list did not open its menu"
xdotool key --clearmodifiers Escape
e2e_wait_for 5 list_menu_closed || e2e_fail "Escape did not close the list's menu"
xdotool mousemove $((mx + 200)) $((my + 150))
e2e_keys "$wid" ctrl+h
hidden_gone() { ! hidden_shown; }
e2e_wait_for 5 hidden_gone || e2e_fail "the hide shortcut did not hide the note of the selected line"
[[ "$(e2e_ini_value "$E2E_DATA/20040102_080000_00.ini" isshow)" -eq 0 ]] || e2e_fail "isshow was not written 0"
[[ "$(notes_open)" -eq 1 && "$(e2e_ini_value "$E2E_DATA/20040101_080000_00.ini" isshow)" -eq 1 ]] ||
    e2e_fail "the note of the right-clicked line was touched"

# "닫기" closes the manager; the tray makes notes again.
e2e_click_control "$wid" "push button" "닫기"
manager_gone() { ! manager; }
e2e_wait_for 5 manager_gone || e2e_fail "닫기 did not close the manager"
e2e_click_tray 1
e2e_wait_for 5 bash -c "[[ \$(find '$E2E_DATA' -name '*.ini' | wc -l) -eq 3 ]]" ||
    e2e_fail "the tray did not make a note after the manager closed"

e2e_tray_menu "종료"
e2e_wait_stikko_end 20
e2e_log "ok"
