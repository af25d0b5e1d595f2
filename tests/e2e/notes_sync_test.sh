#!/usr/bin/env bash
# Two computers' notes kept in step by Syncthing: two program folders, each with the program
# running on one headless desktop, their data/ folders shared by two real Syncthing peers that
# talk over 127.0.0.1 only. A note made in A appears in B; text typed in B shows in A's window
# (which does not take the focus); a delete in A closes the note in B; text typed in both at
# once survives on both sides, one of the two as a note of its own; so does text typed in both
# while they are apart (Syncthing's conflict copy becomes a note). What either program takes
# from the other is never written back: both folders end the same, without conflict copies.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
source "$(dirname "$0")/syncthing_lib.sh"
readonly BOUND=120

PROG_A=$E2E_PROG
PROG_B=$E2E_TMP/progB
cp -r "$PROG_A" "$PROG_B"
st_start_pair "$PROG_A/data" "$PROG_B/data"

# Every socket of both peers, listening or connected, on 127.0.0.1 at both ends.
loopback_only() {
    ss -Htuanp | grep -E "pid=(${ST_PID[A]}|${ST_PID[B]})," | awk '
        $5 !~ /^127\.0\.0\.1:/ || ($6 !~ /^127\.0\.0\.1:/ && !($2 == "LISTEN" && $6 == "0.0.0.0:*")) {
            print; bad = 1 } END { exit bad }' >&2 ||
        st_fail "a peer has a socket beyond the loopback address"
}
loopback_only

e2e_start_stikko
A_PID=$STIKKO_PID
# B as another session would start it (its own runtime folder, where the session's instance
# marker lives), its output in the same log.
mkdir -m 700 "$E2E_TMP/runtimeB"
XDG_RUNTIME_DIR="$E2E_TMP/runtimeB" "$PROG_B/stikko" > >(sed -u 's/^/[B] /' >>"$E2E_TMP/stikko.log") 2>&1 &
B_PID=$!
E2E_PIDS+=("$B_PID")
in_a() { local STIKKO_PID=$A_PID; "$@"; }
in_b() { local STIKKO_PID=$B_PID; "$@"; }
in_b e2e_wait_for 20 e2e_tray_icon || e2e_fail "B's tray icon did not appear"

# The names in a data folder, without the temporary files Syncthing keeps from a pull that
# found the file changed by the program meanwhile (it tries again, or leaves them for a day).
names() { st_listing "$1" | tr ' ' '\n' | grep -v '^\.syncthing\..*\.tmp$' | tr '\n' ' '; }
# What each note file in both folders holds, for a failure to show.
dump_notes() {
    local file
    for file in "$PROG_A"/data/*.{ini,rtf} "$PROG_B"/data/*.{ini,rtf}; do
        [[ -f "$file" ]] || continue
        if [[ $file == *.rtf ]]; then
            e2e_log "${file#"$E2E_TMP"/} $(stat -c %y "$file"): $(e2e_rtf_text "$file" | tr '\n' '|')"
        else
            e2e_log "${file#"$E2E_TMP"/} $(stat -c %y "$file"): $(grep -E '^(title|isshow)=' "$file" | tr '\r\n' ' ')"
        fi
    done
}
fail() {
    dump_notes
    st_fail "$@"
}

titled() { e2e_note_windows "^$1\$" | sed -n 1p | grep .; }
# Waits until the program (in_a / in_b) shows a note titled `title`; prints its window.
wait_titled() {
    local title=$1 seconds=${2:-15}
    e2e_wait_for "$seconds" titled "$title" ||
        st_fail "no note titled '$title' (pid $STIKKO_PID has: $(for w in $(e2e_note_windows); do
            printf '%s; ' "$(xdotool getwindowname "$w")"; done))"
    titled "$title"
}
# Raises a note above the other program's copy of it (both stand at the same place), clicks
# into its body and types `keys`, then `text`.
type_into() {
    local wid=$1 keys=$2 text=$3
    xdotool windowraise "$wid"
    e2e_click_body "$wid"
    # shellcheck disable=SC2086
    e2e_keys "$wid" $keys
    e2e_type "$wid" "$text" 20
}

# --- a note made in A appears in B
e2e_click_tray 1
in_a e2e_wait_notes 1
note_a=$(e2e_note_windows | sed -n 1p)
e2e_type "$note_a" "made in A" 20 # below the date line, where the caret waits
wait_titled "made in A" 5 >/dev/null
started=$SECONDS
note_b=$(in_b wait_titled "made in A")
e2e_log "A's new note shown in B after $((SECONDS - started)) s"

# --- text typed in B shows in A's window, which leaves the focus where it is
type_into "$note_b" "ctrl+Home Down Home" "B: "
in_b wait_titled "B: made in A" 5 >/dev/null
started=$SECONDS
[[ "$(wait_titled "B: made in A")" == "$note_a" ]] || e2e_fail "B's text did not come into A's window"
e2e_log "B's text shown in A's window after $((SECONDS - started)) s"
e2e_has_focus "$note_b" || e2e_fail "A's window took the focus from B's"

# --- a delete in A closes the note in B
read -r x y w h < <(e2e_geometry "$note_a")
xdotool windowraise "$note_a"
xdotool mousemove $((x + w - 3 - 70 + 9)) $((y + h - 12)) click 1
e2e_wait_for 5 e2e_note_windows '^확인$' || e2e_fail "no question before the delete"
e2e_keys "$(e2e_note_windows '^확인$' | sed -n 1p)" Tab space
in_a e2e_wait_notes 0 5
started=$SECONDS
in_b e2e_wait_notes 0 15
e2e_log "the delete in A closed B's note after $((SECONDS - started)) s"

# --- typed in both at once: both texts survive on both sides, one as a note of its own
e2e_click_tray 1
in_a e2e_wait_notes 1
note_a=$(e2e_note_windows | sed -n 1p)
# Both start from the same text: the new note's first body (its date line, saved a moment
# after the note is made) has reached B's window.
e2e_wait_for 15 compgen -G "$PROG_B/data/*.rtf" >/dev/null || fail "the new note's body did not reach B"
st_wait_in_sync 15
note_b=$(in_b wait_titled "$(xdotool getwindowname "$note_a")")
# At the end: the empty line below the date line.
type_into "$note_a" "ctrl+End" "typed in A"
type_into "$note_b" "ctrl+End" "typed in B"
started=$SECONDS
both_sides_have_both() {
    in_a titled "typed in A" && in_a titled "typed in B" && in_b titled "typed in A" && in_b titled "typed in B" &&
        [[ "$(in_a e2e_count_notes)" -eq 2 && "$(in_b e2e_count_notes)" -eq 2 ]]
}
e2e_wait_for 30 both_sides_have_both ||
    fail "not both texts on both sides: A shows $(for w in $(in_a e2e_note_windows); do
        printf "'%s' " "$(xdotool getwindowname "$w")"; done), B shows $(for w in $(in_b e2e_note_windows); do
        printf "'%s' " "$(xdotool getwindowname "$w")"; done)"
e2e_log "both texts on both sides after $((SECONDS - started)) s"
# The copies a conflict leaves are made notes (or found to add nothing) and go.
settled() {
    local a b
    a=$(names "$PROG_A/data")
    b=$(names "$PROG_B/data")
    [[ "$a" == "$b" && "$a" != *sync-conflict* && "$a" != *.syncthing.* ]] && st_in_sync
}
e2e_wait_for 30 settled || fail "the folders did not settle"
e2e_log "the folders settled after $((SECONDS - started)) s"

# --- changed on both computers while they are apart: when they meet, Syncthing sets one
# version aside as a conflict copy; the program whose version that is makes it a note of its
# own, and both sides show both texts
st_disconnect
type_into "$(in_a titled "typed in A")" "ctrl+End Return" "apart in A"
type_into "$(in_b titled "typed in A")" "ctrl+End Return" "apart in B"
saved() { grep -q "apart in $2" "$1"/*.rtf; }
{ e2e_wait_for 10 saved "$PROG_A/data" A && e2e_wait_for 10 saved "$PROG_B/data" B; } ||
    fail "the texts typed apart were not saved"
st_scan A
st_scan B
started=$SECONDS
st_reconnect
three_notes() { [[ "$(in_a e2e_count_notes)" -eq 3 && "$(in_b e2e_count_notes)" -eq 3 ]] && settled; }
e2e_wait_for 30 three_notes || fail "the conflict did not end in three notes on both sides"
e2e_log "the conflict copy was a note on both sides $((SECONDS - started)) s after they met"

# --- both programs end; the folders hold the same notes, and no conflict copy
kill -TERM "$A_PID" "$B_PID"
e2e_wait_stikko_end 20
STIKKO_PID=$B_PID e2e_wait_stikko_end 20
st_wait_in_sync 20
texts() {
    local dir=$1 file
    for file in "$dir"/*.rtf; do e2e_rtf_text "$file" | sed 1d | paste -sd/; done | sort | tr '\n' '|'
}
[[ "$(names "$PROG_A/data")" == "$(names "$PROG_B/data")" ]] ||
    fail "the folders differ: A $(names "$PROG_A/data"), B $(names "$PROG_B/data")"
expected="typed in A/apart in A|typed in A/apart in B|typed in B|"
[[ "$(texts "$PROG_A/data")" == "$expected" && "$(texts "$PROG_B/data")" == "$expected" ]] ||
    fail "the bodies are not the two texts: A $(texts "$PROG_A/data"), B $(texts "$PROG_B/data")"
[[ "$(names "$PROG_A/data")" != *sync-conflict* ]] || fail "a conflict copy is left"
for file in "$PROG_A"/data/*; do
    cmp -s "$file" "$PROG_B/data/${file##*/}" || fail "${file##*/} differs between the folders"
done
loopback_only
st_stop_pair
((SECONDS <= BOUND)) || e2e_fail "took $SECONDS s, more than $BOUND"
e2e_log "ok in $SECONDS s"
