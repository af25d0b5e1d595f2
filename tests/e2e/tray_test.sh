#!/usr/bin/env bash
# The icon appears; a click on it makes a note in the work area's bottom-right corner and the
# next one stays inside it, on a place of its own. (A later start: no_tray_test.)
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
e2e_start_stikko
e2e_log "icon at $(e2e_tray_icon_centre)"
[[ -d "$E2E_DATA" ]] || e2e_fail "the data folder was not made at start"
[[ "$(e2e_count_notes)" -eq 0 ]] || e2e_fail "notes on screen before any click"

e2e_click_tray 1
e2e_wait_notes 1
read -r x y w h < <(e2e_geometry "$(e2e_note_windows | sed -n 1p)")
e2e_log "first note at $x,$y ${w}x$h"
((x + w == E2E_WORK_W && y + h == E2E_WORK_H)) ||
    e2e_fail "first note's bottom-right corner is $((x + w)),$((y + h)), not ${E2E_WORK_W},${E2E_WORK_H}"
[[ "$(e2e_ids | wc -l)" -eq 1 ]] || e2e_fail "expected one note file"
id="$(e2e_ids)"
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" scr_x)" -eq $x ]] || e2e_fail "stored scr_x differs from the window"
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" isshow)" -eq 1 ]] || e2e_fail "a new note is not marked shown"

# The next note would pass the corner: clamped to it, it would hide the first one, so it
# lands elsewhere inside the work area.
e2e_click_tray 1
e2e_wait_notes 2
places=()
while read -r wid; do
    read -r x y w h < <(e2e_geometry "$wid")
    ((x + w <= E2E_WORK_W && y + h <= E2E_WORK_H)) || e2e_fail "a note leaves the work area: $x,$y ${w}x$h"
    places+=("$x,$y")
done < <(e2e_note_windows)
[[ "${places[0]}" != "${places[1]}" ]] || e2e_fail "both notes at ${places[0]}"
[[ "$(e2e_ids | wc -l)" -eq 2 ]] || e2e_fail "expected two note files"

# The about window from the menu, closed by a click on its picture.
e2e_tray_menu "Orbindo Stikko  정보"
about_window() { e2e_note_windows '^Orbindo Stikko$' | sed -n 1p | grep .; }
e2e_wait_for 5 about_window || e2e_fail "the about window did not open"
about="$(about_window)"
read -r x y w h < <(e2e_geometry "$about")
((w == 271 && h == 272)) || e2e_fail "about window is ${w}x$h"
((x == (E2E_SCREEN_W - 271) / 2 && y == (E2E_SCREEN_H - 272) / 2)) || e2e_fail "about window not centred: $x,$y"
e2e_click_control "$about" image "Orbindo Stikko"
about_closed() { ! xwininfo -id "$about" 2>/dev/null | grep -q IsViewable; }
e2e_wait_for 5 about_closed || e2e_fail "a click on the logo did not close the about window"

# Exit from the menu ends with code 0 and removes the icon.
e2e_tray_menu "종료"
e2e_wait_stikko_end 20
e2e_log "ok"
