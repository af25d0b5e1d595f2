#!/usr/bin/env bash
# The data folder on a 64 KB file system that fills up while the user types: the body file
# keeps its old bytes, the user is told (stderr, the tray's message, a mark in the note's title
# bar), what cannot be written is copied to the recovery folder at once, and once there is
# space again the text is saved without anyone asking. Then the same folder made read-only
# before a start: the notes show as they are, read-only, the user is told once, nothing is
# written and no other folder is taken.
# Needs to mount a file system (root, as in CI); skipped where that is not allowed.
# Set E2E_SHOTS to a folder to keep a screenshot of the full-disk moment.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
e2e_require import
mkdir -p "$E2E_DATA"
mount -t tmpfs -o size=64k stikko-full-disk "$E2E_DATA" 2>/dev/null ||
    e2e_skip "cannot mount a small file system on the data folder here (needs root)"
e2e_at_exit "umount -l '$E2E_DATA'"

e2e_start_stikko
e2e_click_tray 1
e2e_wait_notes 1
wid="$(e2e_note_windows | sed -n 1p)"
read -r x y w h < <(e2e_geometry "$wid")
id="$(e2e_ids | sed -n 1p)"
body="$E2E_DATA/$id.rtf"
type_line() {
    e2e_click_body "$wid"
    e2e_keys "$wid" ctrl+End Return
    e2e_type "$wid" "$1" 30
}
body_has() { [[ -f "$body" ]] && "$RTF2TXT" "$body" | grep -qF "$1"; }
# The mark sits right of the 26-pixel maker's image in the title bar; its left half is red.
mark_shown() {
    local colour
    colour="$(import -window root -crop "1x1+$((x + 2 + 26 + 4))+$((y + 2 + 8))" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}')"
    ((16#${colour:1:2} > 150 && 16#${colour:3:2} < 120))
}
mark_gone() { ! mark_shown; }

type_line "saved before the disk filled"
e2e_wait_for 8 body_has "saved before the disk filled" || e2e_fail "the text was not saved at first"
cp "$body" "$E2E_TMP/before.rtf"

dd if=/dev/zero of="$E2E_DATA/filler" bs=4k >/dev/null 2>&1 || true
e2e_log "free on the data folder: $(df --output=avail -k "$E2E_DATA" | tail -1) KB"
type_line "typed on a full disk"
e2e_wait_for 8 grep -q "cannot save .*$id.rtf" "$E2E_TMP/stikko.log" || e2e_fail "the failed save was not told"
# Copied to the recovery folder at once (a kill now would lose none of it), and kept current.
recovery="$HOME/.local/state/stikko/recovery/$id.rtf"
copy_has() { [[ -f "$recovery" ]] && "$RTF2TXT" "$recovery" | grep -qF "$1"; }
e2e_wait_for 3 copy_has "typed on a full disk" || e2e_fail "no recovery copy while the disk is full"
type_line "and more"
e2e_wait_for 8 copy_has "and more" || e2e_fail "the recovery copy did not follow the typing"
e2e_wait_for 3 mark_shown || e2e_fail "no mark in the note's title bar"
if [[ -n "${E2E_SHOTS:-}" ]]; then
    mkdir -p "$E2E_SHOTS"
    import -window root "$E2E_SHOTS/full_disk.png"
fi
cmp -s "$body" "$E2E_TMP/before.rtf" || e2e_fail "the body file changed on the full disk"
[[ -z "$(find "$E2E_DATA" -name '*.rtf.*' -o -name '*.ini.*')" ]] || e2e_fail "a temporary file was left"

rm "$E2E_DATA/filler"
e2e_wait_for 8 body_has "and more" || e2e_fail "the text was not saved once there was space"
e2e_wait_for 3 mark_gone || e2e_fail "the mark stayed after the save"
body_has "saved before the disk filled" || e2e_fail "the earlier text is gone"
e2e_wait_for 3 test ! -e "$recovery" || e2e_fail "the recovery copy stayed after the save"
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
body_has "typed on a full disk" || e2e_fail "the text is gone after the end"

# The same notes on a folder that cannot be written at the next start.
mount -o remount,ro "$E2E_DATA" || e2e_fail "cannot make the data folder read-only"
sums="$(cd "$E2E_DATA" && sha256sum -- *)"
: >"$E2E_TMP/stikko.log"
e2e_start_stikko
e2e_wait_notes 1
wid="$(e2e_note_windows | sed -n 1p)"
read -r x y w h < <(e2e_geometry "$wid")
e2e_wait_for 8 grep -q "cannot be written; the notes are shown read-only" "$E2E_TMP/stikko.log" ||
    e2e_fail "the read-only folder was not told"
if [[ -n "${E2E_SHOTS:-}" ]]; then
    import -window root "$E2E_SHOTS/read_only_folder.png"
fi
e2e_click_body "$wid"
e2e_keys "$wid" ctrl+End Return
e2e_type "$wid" "typed into a read-only note" 30
xdotool mousemove $((x + 100)) $((y + 8)) mousedown 1 mousemove $((x + 140)) $((y + 40)) mouseup 1
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
[[ "$(cd "$E2E_DATA" && sha256sum -- *)" == "$sums" ]] || e2e_fail "a file in the read-only folder changed"
[[ ! -e "$HOME/.local/share/stikko" ]] || e2e_fail "the notes were taken to another folder"
! grep -q "cannot save" "$E2E_TMP/stikko.log" || e2e_fail "a write into the read-only folder was tried"
(($(grep -c "cannot be written; the notes are shown read-only" "$E2E_TMP/stikko.log") == 1)) ||
    e2e_fail "the read-only folder was not told exactly once"
e2e_log "ok"
