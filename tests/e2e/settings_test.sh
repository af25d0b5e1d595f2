#!/usr/bin/env bash
# The settings dialog on a real desktop. A note whose alarm moment has passed: its clock picture
# opens the dialog at the top-right corner, and closing it switches the alarm off in the note's
# file. The tray's default settings open the dialog at the bottom-right corner, and closing it
# rewrites the defaults file without alarm keys.
source "$(dirname "$0")/lib.sh"

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
note="$(e2e_note_windows | head -n1)"
read -r x y w h < <(e2e_geometry "$note")
e2e_log "note at $x,$y ${w}x$h"

settings_window() { e2e_note_windows '환경설정$' | head -n1 | grep .; }
settings_closed() { ! settings_window; }
# "확인" sits at the right of the dialog's bottom strip.
press_ok() {
    local sx sy sw sh
    read -r sx sy sw sh < <(e2e_geometry "$1")
    xdotool mousemove $((sx + sw - 4 - 2 - 36)) $((sy + sh - 4 - 17)) click 1
}

# The clock picture right of the left title image opens the settings on the alarm page.
xdotool mousemove $((x + 3 + 26 + 8)) $((y + 3 + 8)) click 1
e2e_wait_for 5 settings_window || e2e_fail "the clock picture did not open the settings"
dialog="$(settings_window)"
read -r dx dy dw dh < <(e2e_geometry "$dialog")
e2e_log "note settings at $dx,$dy ${dw}x$dh"
((dw == 502 && dh == 388)) || e2e_fail "settings dialog is ${dw}x$dh"
((dx + dw == E2E_WORK_W && dy == 0)) || e2e_fail "note settings not at the top-right corner: $dx,$dy"
press_ok "$dialog"
e2e_wait_for 5 settings_closed || e2e_fail "확인 did not close the settings"

# The alarm's minute has passed: the dialog switched it off, and the note stored that.
e2e_wait_for 5 bash -c "grep -q '^isalram=0' '$E2E_DATA/$id.ini'" ||
    e2e_fail "the passed alarm is still on: $(grep alram "$E2E_DATA/$id.ini")"
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" alram_datetime)" == "2004-05-23 09:00:00" ]] ||
    e2e_fail "alarm moment changed: $(e2e_ini_value "$E2E_DATA/$id.ini" alram_datetime)"
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" scr_x)" -eq 100 ]] || e2e_fail "the note's place changed"

# Default settings: first item of the tray menu (eight items, reached from the bottom).
defaults="$E2E_PROG/system/default_config.ini"
before_colour="$(e2e_ini_value "$defaults" titlebk_color)"
e2e_tray_menu 8
e2e_wait_for 5 settings_window || e2e_fail "the tray's default settings did not open"
dialog="$(settings_window)"
read -r dx dy dw dh < <(e2e_geometry "$dialog")
e2e_log "default settings at $dx,$dy ${dw}x$dh"
((dx + dw == E2E_WORK_W && dy + dh == E2E_WORK_H)) ||
    e2e_fail "default settings not at the bottom-right corner: $dx,$dy"
press_ok "$dialog"
e2e_wait_for 5 settings_closed || e2e_fail "확인 did not close the default settings"

e2e_wait_for 5 grep -q '^oid=' "$defaults" || e2e_fail "the defaults file was not rewritten"
for key in isalram alram_date alram_datetime alram_timemode; do
    ! grep -qi "^$key=" "$defaults" || e2e_fail "the defaults file got the alarm key $key"
done
[[ "$(e2e_ini_value "$defaults" titlebk_color)" == "$before_colour" ]] ||
    e2e_fail "an untouched dialog changed the default colour"

e2e_tray_menu 3
e2e_wait_stikko_end 20
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" isalram)" -eq 0 ]] || e2e_fail "the alarm came back at exit"
e2e_log "ok"
