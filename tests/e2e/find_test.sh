#!/usr/bin/env bash
# Finding a note among shown and hidden ones, and making notes from the command line: a later
# start with --find opens the find window with its words, typing narrows the list, Enter shows
# the hidden note found with its match selected and the keyboard in it; --new TEXT makes a note
# holding TEXT; an unknown option is refused (status 2, one line naming it) and makes nothing.
#
# E2E_ARTIFACTS=<folder>: keep screenshots of the find window and the note it opened there.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
mkdir -p "$E2E_DATA"
# note ID ISSHOW ISMINI X LINE...: a record and a body (code page 949) of the given lines.
note() {
    local id=$1 show=$2 mini=$3 x=$4
    shift 4
    printf '[VALUE_SECTION]\nscr_x=%s\nscr_y=100\nscr_width=275\nscr_height=218\nisshow=%s\nismini=%s\n' \
        "$x" "$show" "$mini" >"$E2E_DATA/$id.ini"
    /usr/bin/python3 -c '
import sys
lines = ("".join("\\%s%02x" % (chr(39), c) if c > 127 else chr(c) for c in line.encode("cp949"))
         for line in sys.argv[1:])
sys.stdout.write("{\\rtf1\\ansi\\ansicpg949 " + "\\par ".join(lines) + "}")' "$@" >"$E2E_DATA/$id.rtf"
}
SHOWN=20250101_090000_00
PLAN=20250102_090000_00
FINAL=20250103_090000_00
FOLDED=20250104_090000_00
note $SHOWN 1 0 700 "작성일:25/01/01 오전 09:00:00" "장보기" "우유와 빵"
note $PLAN 0 0 100 "작성일:25/01/02 오전 09:00:00" "예산 계획" "budget plan for spring"
note $FINAL 0 0 300 "작성일:25/01/03 오전 09:00:00" "회의록" "예산 budget 최종 final 확정"
note $FOLDED 0 1 500 "작성일:25/01/04 오전 09:00:00" "접힌 메모" "old budget"

e2e_start_stikko
e2e_wait_notes 1

found_rows() { /usr/bin/python3 "$E2E_LIB_DIR/a11y.py" list-items "찾은 메모" 2>/dev/null; }
has_rows() { [[ "$(found_rows | wc -l)" -eq "$1" ]]; }
# Read whole first: grep -q ending at the first match would cut the listing short, failing it.
rows_have() {
    local rows
    rows="$(found_rows)"
    grep -q -- "$1" <<<"$rows"
}
find_window() { e2e_note_windows '^메모 찾기$' | sed -n 1p | grep .; }
shoot() {
    [[ -n "${E2E_ARTIFACTS:-}" ]] || return 0
    mkdir -p "$E2E_ARTIFACTS"
    import -window root "$E2E_ARTIFACTS/$1.png"
}

# A later start with --find: the window opens with the words in its field and the notes
# holding them listed, hidden ones included.
"$E2E_PROG/stikko" --find budget >>"$E2E_TMP/stikko.log" 2>&1 || e2e_fail "stikko --find ended with $?"
e2e_wait_for 10 find_window || e2e_fail "the find window did not open"
FIND="$(find_window)"
e2e_wait_for 10 has_rows 3 || e2e_fail "expected the three notes holding 'budget', the list has: $(found_rows)"
e2e_wait_for 5 rows_have "^회의록 — .*budget.*(숨김)$" || e2e_fail "the row of the hidden note: $(found_rows)"
e2e_wait_for 5 rows_have "^접힌 메모 — old budget (접힘, 숨김)$" || e2e_fail "the folded note is not marked: $(found_rows)"
shoot find-window

# Typing narrows the list.
e2e_keys "$FIND" End
e2e_type "$FIND" " fin"
e2e_wait_for 10 has_rows 1 || e2e_fail "typing did not narrow the list: $(found_rows)"
e2e_wait_for 5 rows_have "^회의록" || e2e_fail "the wrong note is left: $(found_rows)"

# Enter shows the hidden note where it was, with the first match selected and the keyboard in it.
e2e_keys "$FIND" Return
e2e_wait_notes 2
shown_note() { e2e_note_windows '^회의록$' | sed -n 1p | grep .; }
e2e_wait_for 10 shown_note || e2e_fail "the note found is not shown"
e2e_expect_focus "$(shown_note)"
read -r x y _ _ < <(e2e_geometry "$(shown_note)")
[[ $x -eq 300 && $y -eq 100 ]] || e2e_fail "the note opened at $x,$y, not where it was"
[[ "$(e2e_ini_value "$E2E_DATA/$FINAL.ini" isshow)" == 1 ]] || e2e_fail "the note's record does not say shown"
selected() { [[ "$(/usr/bin/python3 "$E2E_LIB_DIR/a11y.py" selection 2>/dev/null)" == "$1" ]]; }
e2e_wait_for 10 selected budget ||
    e2e_fail "the match is not selected: '$(/usr/bin/python3 "$E2E_LIB_DIR/a11y.py" selection 2>&1)'"
find_closed() { ! find_window; }
e2e_wait_for 5 find_closed || e2e_fail "the find window stayed open"
shoot found-note

# A note from the command line holds its text after the date line.
ids_before="$(e2e_ids)"
"$E2E_PROG/stikko" --new "명령줄의 메모" "second word" >>"$E2E_TMP/stikko.log" 2>&1 ||
    e2e_fail "stikko --new ended with $?"
e2e_wait_notes 3
new_id="$(comm -13 <(echo "$ids_before") <(e2e_ids))"
[[ -n "$new_id" ]] || e2e_fail "no new note file"
has_text() { e2e_rtf_text "$E2E_DATA/$new_id.rtf" 2>/dev/null | sed -n 2p | grep -qx "명령줄의 메모 second word"; }
e2e_wait_for 10 has_text || e2e_fail "the new note holds: $(e2e_rtf_text "$E2E_DATA/$new_id.rtf" 2>&1)"
e2e_rtf_text "$E2E_DATA/$new_id.rtf" | sed -n 1p | grep -q "^작성일:" || e2e_fail "the new note has no date line"

# An unknown option: one line naming it, status 2, nothing made.
ids_before="$(e2e_ids)"
code=0
"$E2E_PROG/stikko" --frobnicate >"$E2E_TMP/out.txt" 2>"$E2E_TMP/err.txt" || code=$?
[[ $code -eq 2 ]] || e2e_fail "an unknown option ended with $code"
[[ "$(wc -l <"$E2E_TMP/err.txt")" -eq 1 ]] && grep -q -- "--frobnicate" "$E2E_TMP/err.txt" ||
    e2e_fail "the message for an unknown option: $(cat "$E2E_TMP/err.txt")"
[[ ! -s "$E2E_TMP/out.txt" ]] || e2e_fail "an unknown option printed: $(cat "$E2E_TMP/out.txt")"
[[ "$(e2e_ids)" == "$ids_before" ]] || e2e_fail "an unknown option made a note file"
e2e_has_note_count 3 || e2e_fail "an unknown option changed the notes on screen"

kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_log "ok"
