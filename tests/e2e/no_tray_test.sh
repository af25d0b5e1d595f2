#!/usr/bin/env bash
# On a desktop without a notification area the program shows its own window "Stikko", whose
# first button makes a note; a notification area that appears later takes over (the window
# goes, the icon comes); a later start of the program adds one note to the running one, in
# front and with the keyboard focus, and ends at once.
#
# E2E_ARTIFACTS=<folder>: keep a screenshot of the window there for a look.
source "$(dirname "$0")/lib.sh"

E2E_NO_TRAY=1
e2e_start_desktop
e2e_start_stikko
window="$(e2e_fallback_window)"
read -r x y w h < <(e2e_geometry "$window")
e2e_log "the program's window at $x,$y ${w}x$h"
[[ "$(e2e_count_notes)" -eq 0 ]] || e2e_fail "notes on screen before any click"
if [[ -n "${E2E_ARTIFACTS:-}" ]]; then
    mkdir -p "$E2E_ARTIFACTS"
    import -window "$window" "$E2E_ARTIFACTS/fallback-window.png"
fi

e2e_click_control "$window" "push button" "새 메모장 만들기"
e2e_wait_notes 1
[[ "$(e2e_ids | wc -l)" -eq 1 ]] || e2e_fail "expected one note file"

e2e_start_tray
e2e_wait_for 10 e2e_tray_icon || e2e_fail "the icon did not come into the notification area"
window_gone() { ! e2e_fallback_window; }
e2e_wait_for 10 window_gone || e2e_fail "the program's window stayed with a notification area there"

# A later start: the running program makes the note, the later one ends at once.
first_note="$(e2e_note_windows | grep -vx "$(e2e_fallback_window || true)" || true)"
start=$(date +%s%N)
code=0
timeout 10 "$E2E_PROG/stikko" >"$E2E_TMP/second.log" 2>&1 || code=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
e2e_log "the later start ended with $code after ${elapsed_ms} ms"
[[ $code -eq 0 ]] || e2e_fail "the later start ended with code $code: $(cat "$E2E_TMP/second.log")"
((elapsed_ms < 3000)) || e2e_fail "the later start took ${elapsed_ms} ms"
e2e_wait_notes 2
kill -0 "$STIKKO_PID" || e2e_fail "the running instance is gone"
[[ "$(e2e_ids | wc -l)" -eq 2 ]] || e2e_fail "expected two note files"

# The new note has the keyboard focus: what is typed lands in it.
newest="$(e2e_ids | tail -1)"
new_note="$(e2e_note_windows | grep -vx "$first_note")"
e2e_type "$new_note" "later start" 20
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_rtf_text "$E2E_DATA/$newest.rtf" | grep -q "later start" ||
    e2e_fail "the typing did not reach the new note: $(e2e_rtf_text "$E2E_DATA/$newest.rtf")"
e2e_log "ok"
