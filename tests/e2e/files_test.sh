#!/usr/bin/env bash
# The notes' files as a user meets them on a real desktop: notes X and X-2 both open; a note
# stored far off every screen shows on it and keeps its stored place; a body too large to read
# opens read-only and is never written over; a second program started from another session on
# the same folder ends at once and changes nothing; delete asks with No as the default and then
# moves both files to the desktop's trash. Set E2E_SHOTS to keep screenshots.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
e2e_require import
mkdir -p "$E2E_DATA"
X=20261207_130000_55
FAR=20040102_000000_00
BIG=20040103_000000_00
note() { # id title x y
    printf '[VALUE_SECTION]\ntitle=%s\nisshow=1\nscr_x=%s\nscr_y=%s\nscr_width=300\nscr_height=200\n' "$2" "$3" "$4" \
        >"$E2E_DATA/$1.ini"
    printf '{\\rtf1 first line\\par %s\\par}' "$2" >"$E2E_DATA/$1.rtf"
}
note "$X" "note X" 100 100
note "$X-2" "note X-2" 500 100
note "$FAR" "far away" -100000 400
note "$BIG" "big body" 500 400
truncate -s 300M "$E2E_DATA/$BIG.rtf" # larger than any body: it cannot be read
shot() { [[ -z "${E2E_SHOTS:-}" ]] || { mkdir -p "$E2E_SHOTS" && import -window root "$E2E_SHOTS/$1.png"; }; }

e2e_start_stikko
e2e_wait_notes 4
window() { e2e_note_windows "^$1\$" | sed -n 1p | grep .; }
window "note X" >/dev/null || e2e_fail "note X did not open beside X-2"
window "note X-2" >/dev/null || e2e_fail "note X-2 did not open"

read -r fx fy fw fh < <(e2e_geometry "$(window "far away")")
((fx >= 0 && fx + fw <= E2E_SCREEN_W && fy >= 0 && fy + fh <= E2E_SCREEN_H)) ||
    e2e_fail "the far note shows at $fx,$fy, off the screen"
[[ "$(e2e_ini_value "$E2E_DATA/$FAR.ini" scr_x)" == -100000 ]] || e2e_fail "the far note's stored place changed"

window "big body" >/dev/null || e2e_fail "the unreadable note lost its stored title"
grep -q "cannot read .*$BIG.rtf" "$E2E_TMP/stikko.log" || e2e_fail "the unreadable body was not told"
big="$(window "big body")"
e2e_click_body "$big"
e2e_type "$big" "not to be saved" 20
shot files

# A second program from another session (its own runtime folder) on the same notes.
snapshot() { find "$E2E_DATA" -printf '%f %s %T@\n' | sort; }
# The first program's own background writes (none are due: the body is read-only) come within
# two seconds of the last key; the snapshot is taken once the folder has stood still that long,
# so that it does not blame the second program for them.
unchanged_since() { [[ "$(snapshot)" == "$1" ]]; }
folder_still() { e2e_holds 2 unchanged_since "$(snapshot)"; }
e2e_wait_for 20 folder_still || e2e_fail "the data folder keeps changing"
before="$(snapshot)"
mkdir -p -m 700 "$E2E_TMP/runtime2"
XDG_RUNTIME_DIR="$E2E_TMP/runtime2" "$E2E_PROG/stikko" >"$E2E_TMP/second.log" 2>&1 &
second=$!
e2e_wait_for 15 bash -c "! kill -0 $second 2>/dev/null" || { kill "$second"; e2e_fail "the second program kept running"; }
wait "$second" || e2e_fail "the second program ended with code $?"
grep -q "open in another running Stikko" "$E2E_TMP/second.log" || e2e_fail "the second program did not say why: $(cat "$E2E_TMP/second.log")"
[[ "$(snapshot)" == "$before" ]] || e2e_fail "the second program changed the data folder"
kill -0 "$STIKKO_PID" || e2e_fail "the first program is gone"

# Delete note X from its tool bar. The question's default is No: Return keeps the note.
delete_button() { e2e_click_control "$(window "note X")" "push button" "완전 삭제"; }
question() { e2e_note_windows '^확인$' | sed -n 1p | grep .; }
delete_button
e2e_wait_for 5 question || e2e_fail "no question before the delete"
shot question
e2e_keys "$(question)" Return
no_question() { ! question; }
e2e_wait_for 5 no_question || e2e_fail "the question stayed open"
[[ -f "$E2E_DATA/$X.ini" && -f "$E2E_DATA/$X.rtf" ]] || e2e_fail "Return deleted the note"
delete_button
e2e_wait_for 5 question || e2e_fail "no question the second time"
e2e_keys "$(question)" Tab space # to Yes, and press it
e2e_wait_for 5 bash -c "[[ ! -e '$E2E_DATA/$X.ini' ]]" || e2e_fail "Yes did not delete the note"
trash="$HOME/.local/share/Trash"
for file in "$X.ini" "$X.rtf"; do
    [[ ! -e "$E2E_DATA/$file" ]] || e2e_fail "$file is still in the data folder"
    [[ -f "$trash/files/$file" && -f "$trash/info/$file.trashinfo" ]] || e2e_fail "$file is not in the trash"
done
window "note X-2" >/dev/null || e2e_fail "deleting X touched X-2"
[[ -f "$E2E_DATA/$X-2.ini" ]] || e2e_fail "X-2's files went with X"

kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
[[ "$(stat -c %s "$E2E_DATA/$BIG.rtf")" -eq $((300 << 20)) ]] || e2e_fail "the unreadable body was written over"
[[ "$(e2e_ini_value "$E2E_DATA/$BIG.ini" title)" == "big body" ]] || e2e_fail "the unreadable note's title changed"
[[ "$(e2e_ini_value "$E2E_DATA/$FAR.ini" scr_x)" == -100000 ]] || e2e_fail "the far note's stored place changed"
e2e_log "ok"
