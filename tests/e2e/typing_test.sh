#!/usr/bin/env bash
# Text typed into a new note, Korean included, is in its body file after exit from the tray
# menu, and at the next start the notes come back at their places with their text. A new note
# takes what is typed at once on the line below its date line.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
e2e_start_stikko

# Into a new note's body, at its end: the empty line below the date line.
type_into() {
    local wid=$1 text=$2
    e2e_click_body "$wid"
    e2e_keys "$wid" ctrl+End
    e2e_type "$wid" "$text"
}

e2e_click_tray 1
e2e_wait_notes 1
first="$(e2e_note_windows | sed -n 1p)"
first_id="$(e2e_ids | sed -n 1p)"
# Typed at once, without a click: the caret waits below the date line.
e2e_type "$first" "Hello tray"
e2e_keys "$first" Return
e2e_type "$first" "한글 메모 입력" 60
e2e_wait_for 5 bash -c "xdotool getwindowname $first | grep -q 'Hello tray'" ||
    e2e_fail "the note's title did not follow its second line: $(xdotool getwindowname "$first")"

# The first note sits in the corner, where the next would land on it: the rearrange command
# moves it to the top right first.
e2e_tray_menu "모든 메모장 재 정렬"
sleep 0.5
e2e_click_tray 1
e2e_wait_notes 2
second=""
for wid in $(e2e_note_windows); do
    [[ "$wid" != "$first" ]] && second="$wid"
done
type_into "$second" "둘째 메모 second"

declare -A place
for wid in $(e2e_note_windows); do
    place["$(xdotool getwindowname "$wid")"]="$(e2e_geometry "$wid")"
done

e2e_tray_menu "종료"
e2e_wait_stikko_end 20

mapfile -t ids < <(e2e_ids)
[[ ${#ids[@]} -eq 2 ]] || e2e_fail "expected two notes, found ${#ids[@]}"
all_text=""
for id in "${ids[@]}"; do
    [[ -f "$E2E_DATA/$id.rtf" ]] || e2e_fail "no body file for $id"
    all_text+="$(e2e_rtf_text "$E2E_DATA/$id.rtf")"$'\n'
    [[ "$(e2e_ini_value "$E2E_DATA/$id.ini" isshow)" -eq 1 ]] || e2e_fail "$id not marked shown"
done
for expected in "Hello tray" "한글 메모 입력" "둘째 메모 second" "작성일:"; do
    grep -qF "$expected" <<<"$all_text" || e2e_fail "'$expected' is not in the saved bodies: $all_text"
done
first_text="$(e2e_rtf_text "$E2E_DATA/$first_id.rtf")"
[[ "$(sed -n 1p <<<"$first_text")" == 작성일:* && "$(sed -n 2p <<<"$first_text")" == "Hello tray" ]] ||
    e2e_fail "the text typed at once is not the line below the date line: $first_text"

# Next start: both notes where they were, with their titles.
e2e_start_stikko
e2e_wait_notes 2
for title in "${!place[@]}"; do
    wid="$(e2e_note_windows "^${title}\$" | sed -n 1p)"
    [[ -n "$wid" ]] || e2e_fail "note '$title' did not come back"
    [[ "$(e2e_geometry "$wid")" == "${place[$title]}" ]] ||
        e2e_fail "note '$title' came back at $(e2e_geometry "$wid"), was ${place[$title]}"
done
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_log "ok"
