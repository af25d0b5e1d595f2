#!/usr/bin/env bash
# The settings dialog on a real desktop. A note whose alarm moment has passed rings; its clock
# picture opens the dialog at the top-right corner, and closing it switches the alarm off: the
# title bar stops blinking and the note's file says so. The tray's default settings open the
# dialog at the bottom-right corner, and closing it rewrites the defaults file without alarm keys.
#
# E2E_ARTIFACTS=<folder>: keep pictures of the two dialogs there for a look.
source "$(dirname "$0")/lib.sh"

e2e_require import convert
e2e_start_desktop

id="20040523_090000_00"
mkdir -p "$E2E_DATA"
cat >"$E2E_DATA/$id.ini" <<EOF
[VALUE_SECTION]
title=alarm note
scr_x=100
scr_y=120
scr_width=275
scr_height=218
isshow=1
isshow_toolbar=1
[VALUE_ALRAM_SECTION]
isalram=1
alram_date=2004-05-23
alram_datetime=2004-05-23 09:00:00
alram_h=9
alram_m=0
alram_repeat=5
EOF

e2e_start_stikko
e2e_wait_notes 1
note="$(e2e_note_windows | sed -n 1p)"
read -r x y w h < <(e2e_geometry "$note")
e2e_log "note at $x,$y ${w}x$h"

# The commonest colour of the title bar's middle on the screen now, as RRGGBB.
title_colour() {
    import -window root "$E2E_TMP/title.png"
    convert "$E2E_TMP/title.png" -crop "$((w - 100))x10+$((x + 50))+$((y + 6))" +repage -format %c histogram:info:- |
        sort -rn | sed -n 1p | grep -o '#[0-9A-Fa-f]\{6\}' | tr -d '#' | tr a-f A-F
}
title_shows() { [[ "$(title_colour)" == "$1" ]]; }
title_leaves() { [[ "$(title_colour)" != "$1" ]]; }
# Ringing, the title bar shows its colour, leaves it and comes back to it.
green="396F53"
e2e_wait_for 5 title_shows "$green" && e2e_wait_for 5 title_leaves "$green" && e2e_wait_for 5 title_shows "$green" ||
    e2e_fail "the note whose alarm has passed does not ring: its title bar stays $(title_colour)"

settings_window() { e2e_note_windows '환경설정$' | sed -n 1p | grep .; }
settings_closed() { ! settings_window; }
press_ok() { e2e_click_control "$1" "push button" "확인"; }

# The clock picture right of the left title image opens the settings on the alarm page.
e2e_click_control "$note" "push button" "알람( Alarm) 설정"
e2e_wait_for 5 settings_window || e2e_fail "the clock picture did not open the settings"
dialog="$(settings_window)"
read -r dx dy dw dh < <(e2e_geometry "$dialog")
e2e_log "note settings at $dx,$dy ${dw}x$dh"
((dw == 502 && dh == 388)) || e2e_fail "settings dialog is ${dw}x$dh"
((dx + dw == E2E_WORK_W && dy == 0)) || e2e_fail "note settings not at the top-right corner: $dx,$dy"
keep_shot() {
    [[ -n "${E2E_ARTIFACTS:-}" ]] || return 0
    mkdir -p "$E2E_ARTIFACTS"
    e2e_control_box "$dialog" "push button" "확인" >/dev/null # shown, and so drawn
    import -window root "$E2E_TMP/screen.png"
    convert "$E2E_TMP/screen.png" -crop "${dw}x${dh}+${dx}+${dy}" +repage "$E2E_ARTIFACTS/$1.png"
}
keep_shot settings-note-alarm
press_ok "$dialog"
e2e_wait_for 5 settings_closed || e2e_fail "확인 did not close the settings"

# The alarm's minute has passed: the dialog switched it off, the ringing stopped (for longer
# than two swaps of the colours), and the note stored that.
e2e_wait_for 5 title_shows "$green" || e2e_fail "the title bar lost its colour: $(title_colour)"
e2e_holds 3 title_shows "$green" || e2e_fail "the title bar still blinks: $(title_colour)"
e2e_wait_for 5 bash -c "grep -q '^isalram=0' '$E2E_DATA/$id.ini'" ||
    e2e_fail "the passed alarm is still on: $(grep alram "$E2E_DATA/$id.ini")"
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" alram_datetime)" == "2004-05-23 09:00:00" ]] ||
    e2e_fail "alarm moment changed: $(e2e_ini_value "$E2E_DATA/$id.ini" alram_datetime)"
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" scr_x)" -eq 100 ]] || e2e_fail "the note's place changed"

# Default settings: first item of the tray menu (eight items, reached from the bottom).
defaults="$E2E_PROG/system/default_config.ini"
before_colour="$(e2e_ini_value "$defaults" titlebk_color)"
e2e_tray_menu "기본 환경 설정"
e2e_wait_for 5 settings_window || e2e_fail "the tray's default settings did not open"
dialog="$(settings_window)"
read -r dx dy dw dh < <(e2e_geometry "$dialog")
e2e_log "default settings at $dx,$dy ${dw}x$dh"
((dx + dw == E2E_WORK_W && dy + dh == E2E_WORK_H)) ||
    e2e_fail "default settings not at the bottom-right corner: $dx,$dy"
keep_shot settings-defaults
press_ok "$dialog"
e2e_wait_for 5 settings_closed || e2e_fail "확인 did not close the default settings"

e2e_wait_for 5 grep -q '^oid=' "$defaults" || e2e_fail "the defaults file was not rewritten"
for key in isalram alram_date alram_datetime alram_timemode; do
    ! grep -qi "^$key=" "$defaults" || e2e_fail "the defaults file got the alarm key $key"
done
[[ "$(e2e_ini_value "$defaults" titlebk_color)" == "$before_colour" ]] ||
    e2e_fail "an untouched dialog changed the default colour"

e2e_tray_menu "종료"
e2e_wait_stikko_end 20
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" isalram)" -eq 0 ]] || e2e_fail "the alarm came back at exit"
e2e_log "ok"
