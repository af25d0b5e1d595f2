#!/usr/bin/env bash
# SIGTERM saves every open note; SIGKILL three seconds after the last keystroke loses nothing
# and leaves no broken or stray file; the next start brings the notes back.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop

moved_from() { [[ "$(e2e_geometry "$1")" != "$2" ]]; }
shows_title() { [[ "$(xdotool getwindowname "$1" 2>/dev/null)" == "$2" ]]; }
# Types `text` on a new note's line below its date line, where it becomes the note's title once
# the program has it all.
type_new_note() {
    local text=$1 before
    before="$(e2e_note_windows)"
    e2e_click_tray 1
    e2e_wait_notes "$(($(wc -w <<<"$before") + 1))"
    local wid
    for wid in $(e2e_note_windows); do
        grep -qx "$wid" <<<"$before" || break
    done
    e2e_click_body "$wid"
    e2e_keys "$wid" ctrl+End
    e2e_type "$wid" "$text"
    e2e_wait_for 10 shows_title "$wid" "$text" ||
        e2e_fail "the note did not take '$text': it is titled '$(xdotool getwindowname "$wid")'"
}

body_has() {
    local text=$1 id
    for id in $(e2e_ids); do
        [[ -f "$E2E_DATA/$id.rtf" ]] && e2e_rtf_text "$E2E_DATA/$id.rtf" | grep -qF "$text" && return 0
    done
    return 1
}

# --- SIGTERM with two notes open
e2e_start_stikko
type_new_note "terminated one"
first="$(e2e_note_windows)"
corner="$(e2e_geometry "$first")"
e2e_tray_menu "모든 메모장 재 정렬" # so the second note does not cover the first
e2e_wait_for 5 moved_from "$first" "$corner" || e2e_fail "the note stayed in the corner"
type_new_note "종료 신호 둘"
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
body_has "terminated one" || e2e_fail "SIGTERM lost the first note's text"
body_has "종료 신호 둘" || e2e_fail "SIGTERM lost the second note's text"

# --- SIGKILL three seconds after the last keystroke
e2e_start_stikko
e2e_wait_notes 2
type_new_note "killed but kept 김치"
# Kept: what is tested is that three seconds after the last key the text is on disk.
sleep 3
kill -KILL "$STIKKO_PID"
wait "$STIKKO_PID" 2>/dev/null || true
body_has "killed but kept 김치" || e2e_fail "SIGKILL lost the text typed three seconds before"
stray="$(find "$E2E_DATA" -mindepth 1 ! -name '*.ini' ! -name '*.rtf' -printf '%f ')"
[[ -z "$stray" ]] || e2e_fail "stray files in the data folder: $stray"
for id in $(e2e_ids); do
    grep -q '^\[VALUE_SECTION\]' "$E2E_DATA/$id.ini" || e2e_fail "$id.ini is broken"
    head -c 5 "$E2E_DATA/$id.rtf" | grep -qF '{\rtf' || e2e_fail "$id.rtf is broken"
done

# --- the next start (a dead owner's marker is taken over) brings all three back
e2e_start_stikko
e2e_wait_notes 3
kill -HUP "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_log "ok"
