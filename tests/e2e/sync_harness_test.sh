#!/usr/bin/env bash
# Two Syncthing peers on loopback keep two folders in step: a file written atomically in A
# arrives in B byte for byte, a change in B comes back to A, a delete in A removes it in B,
# and one file changed on both sides while they are apart ends the same on both, the newer
# text under its name and the other in one conflict copy. Nothing of theirs listens on or
# talks to any address but 127.0.0.1. No desktop and no program needed.
source "$(dirname "$0")/syncthing_lib.sh"

A="$E2E_TMP/a/data"
B="$E2E_TMP/b/data"
st_start_pair "$A" "$B"

# As the program saves: a temporary file beside the target, then a rename onto it.
write_atomically() {
    local path=$1 bytes=$2 temp
    temp=$(mktemp "$path.XXXXXX")
    printf '%s' "$bytes" >"$temp"
    mv -f "$temp" "$path"
}
expect() { printf '%s' "$1" >"$E2E_TMP/expected"; }
ms_since() { echo $(((${EPOCHREALTIME/./} - ${1/./}) / 1000)); }

# Every socket of both peers, listening or connected, on 127.0.0.1 at both ends.
loopback_only() {
    ss -Htuanp | grep -E "pid=(${ST_PID[A]}|${ST_PID[B]})," | awk '
        $5 !~ /^127\.0\.0\.1:/ || ($6 !~ /^127\.0\.0\.1:/ && !($2 == "LISTEN" && $6 == "0.0.0.0:*")) {
            print; bad = 1 } END { exit bad }' >&2 ||
        st_fail "a peer has a socket beyond the loopback address"
}
loopback_only

# --- made in A, arrives in B with the same bytes (Korean text, CRLF line ends)
started=$EPOCHREALTIME
note=$'[Note]\r\ntitle=장보기 목록\r\nisshow=1\r\n'
write_atomically "$A/0001.ini" "$note"
expect "$note"
st_wait_file "$B" 0001.ini "$E2E_TMP/expected" 15
st_log "new file A -> B in $(ms_since "$started") ms"

# --- changed in B, changes in A
started=$EPOCHREALTIME
note=$'[Note]\r\ntitle=장보기 목록 (B에서 고침)\r\nisshow=1\r\n'
write_atomically "$B/0001.ini" "$note"
expect "$note"
st_wait_file "$A" 0001.ini "$E2E_TMP/expected" 15
st_log "change B -> A in $(ms_since "$started") ms"

# --- deleted in A, gone from B
started=$EPOCHREALTIME
rm "$A/0001.ini"
st_wait_gone "$B" 0001.ini 15
st_log "delete A -> B in $(ms_since "$started") ms"
st_wait_in_sync 15

# --- changed on both sides while apart: the newer change (B's) keeps the name and A's text
# moves to 0002.sync-conflict-<date>-<time>-<B's short ID>.rtf (named after the device whose
# change won, not the one whose text it holds); both sides end with the same two files.
write_atomically "$A/0002.rtf" '{\rtf1 first}'
st_wait_file "$B" 0002.rtf "" 15
st_disconnect
write_atomically "$A/0002.rtf" '{\rtf1 typed in A}'
sleep 0.1
write_atomically "$B/0002.rtf" '{\rtf1 typed in B}'
st_scan A
st_scan B
started=$EPOCHREALTIME
st_reconnect

conflict_settled() {
    local copy
    copy=$(st_conflicts "$A" 0002.rtf)
    [[ $(wc -l <<<"$copy") -eq 1 && -n "$copy" && "$(st_conflicts "$B" 0002.rtf)" == "$copy" ]] || return 1
    cmp -s "$A/0002.rtf" "$B/0002.rtf" && cmp -s "$A/$copy" "$B/$copy" || return 1
    [[ "$(cat "$A/0002.rtf")" == '{\rtf1 typed in B}' && "$(cat "$A/$copy")" == '{\rtf1 typed in A}' ]]
}
e2e_wait_for 20 conflict_settled || st_fail "no single conflict copy on both sides: A has" \
    "$(st_listing "$A"), B has $(st_listing "$B")"
copy=$(st_conflicts "$A" 0002.rtf)
[[ "$copy" =~ ^0002\.sync-conflict-[0-9]{8}-[0-9]{6}-${ST_ID[B]:0:7}\.rtf$ ]] ||
    st_fail "unexpected conflict copy name: $copy"
st_log "conflict settled in $(ms_since "$started") ms after reconnecting: $copy"
st_wait_in_sync 15

# Syncthing's own marker is the only other thing in the folders.
[[ "$(st_listing "$A")" == ".stfolder 0002.rtf $copy " ]] || st_fail "unexpected files in A: $(st_listing "$A")"
loopback_only
st_stop_pair
st_log "done in $SECONDS s"
