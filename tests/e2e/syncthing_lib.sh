# shellcheck shell=bash
# Two Syncthing peers on this machine keeping two folders in step, for end-to-end tests of a
# data folder shared between computers. Source it after lib.sh's e2e_start_desktop, or on its
# own (it then brings in lib.sh for the logging, waiting and clean-up on exit).
#
#   st_start_pair DIR_A DIR_B         peers A and B share DIR_A <-> DIR_B; returns once they are
#                                     connected and both sides are idle and complete
#   st_wait_in_sync [s]               until both sides are idle and hold everything the other has
#   st_listing DIR                    every name in DIR, sorted, on one line
#   st_disconnect / st_reconnect      A pauses / resumes B: changes made meanwhile collide
#   st_scan A|B                       scan that side's folder now; returns when the scan is done
#   st_api A|B METHOD PATH            a REST call (JSON on standard output)
#   st_stop_pair                      stop both peers (also done on exit)
#
# Waits end the test through e2e_fail with both peers' status and log tails.
#
# Nothing leaves the machine: each peer listens (sync and REST) on 127.0.0.1 only, knows the
# other by its loopback address, and has global and local discovery, relays, NAT traversal
# (UPnP/NAT-PMP, STUN), usage reporting, crash reporting and upgrades switched off. Keys,
# configuration and index live under $E2E_TMP/sync.
#
# What Syncthing (1.19) puts in a shared folder, which the program reading it must tolerate:
#   .stfolder/                   marker directory, made when the folder starts; if it goes
#                                missing Syncthing stops syncing the folder rather than take an
#                                emptied or recreated folder for "everything was deleted"
#   .syncthing.<name>.tmp        a file being received, renamed onto <name> when complete
#   <stem>.sync-conflict-<YYYYMMDD>-<HHMMSS>-<short ID>.<ext>
#                                after a change on both sides: the older change, moved aside
#                                by the side that received the newer one; <short ID> is the
#                                first 7 characters of the ID of the device whose change won.
#                                The copy syncs like any file. While it is made, <name> is
#                                briefly absent (rename away, then the received file renamed in).

if ! declare -F e2e_fail >/dev/null; then
    source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
fi
: "${E2E_TMP:=$(mktemp -d "${TMPDIR:-/tmp}/stikko-e2e.XXXXXX")}"

ST_FOLDER_ID=data
declare -A ST_HOME ST_ID ST_KEY ST_GUI ST_SYNC ST_PID ST_DIR

st_log() { e2e_log "sync: $*"; }

st_other() { [[ $1 == A ]] && echo B || echo A; }

st_api() {
    local side=$1 method=$2 path=$3
    curl -fsS --max-time 10 -X "$method" -H "X-API-Key: ${ST_KEY[$side]}" \
        "http://127.0.0.1:${ST_GUI[$side]}$path"
}

# Free TCP ports below Linux's ephemeral range, so no outgoing connection is holding them.
st_pick_ports() {
    local taken="" side kind port
    for side in A B; do
        for kind in GUI SYNC; do
            while true; do
                port=$((20000 + RANDOM % 12000))
                [[ " $taken " == *" $port "* ]] && continue
                [[ -n "$(ss -Htan "( sport = :$port )")" ]] && continue
                break
            done
            taken+=" $port"
            if [[ $kind == GUI ]]; then ST_GUI[$side]=$port; else ST_SYNC[$side]=$port; fi
        done
    done
}

# Elements left out of config.xml read as zero, not as Syncthing's defaults (a missing
# maxConflicts would turn conflict copies off), so every setting that matters is spelled out.
# Only A dials (B knows A as "dynamic", which with discovery off means "wait to be called"):
# when both dial at once, 1.19 can stall both handshakes for 20 s.
st_write_config() {
    local side=$1 peer peer_address version
    peer=$(st_other "$side")
    peer_address=dynamic
    [[ $side == A ]] && peer_address="tcp://127.0.0.1:${ST_SYNC[B]}"
    version=$(grep -o 'configuration version="[0-9]*"' "${ST_HOME[$side]}/config.xml" | head -1)
    cat >"${ST_HOME[$side]}/config.xml" <<EOF
<${version}>
    <folder id="$ST_FOLDER_ID" label="$ST_FOLDER_ID" path="${ST_DIR[$side]}" type="sendreceive"
            rescanIntervalS="10" fsWatcherEnabled="true" fsWatcherDelayS="1" autoNormalize="true">
        <filesystemType>basic</filesystemType>
        <device id="${ST_ID[$side]}"></device>
        <device id="${ST_ID[$peer]}"></device>
        <minDiskFree unit="%">0</minDiskFree>
        <maxConflicts>10</maxConflicts>
        <markerName>.stfolder</markerName>
    </folder>
    <device id="${ST_ID[$side]}" name="$side"><address>dynamic</address></device>
    <device id="${ST_ID[$peer]}" name="$peer"><address>$peer_address</address></device>
    <gui enabled="true" tls="false">
        <address>127.0.0.1:${ST_GUI[$side]}</address>
        <apikey>${ST_KEY[$side]}</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:${ST_SYNC[$side]}</listenAddress>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <stunKeepaliveStartS>0</stunKeepaliveStartS>
        <stunKeepaliveMinS>0</stunKeepaliveMinS>
        <urAccepted>-1</urAccepted>
        <crashReportingEnabled>false</crashReportingEnabled>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <startBrowser>false</startBrowser>
        <setLowPriority>false</setLowPriority>
        <reconnectionIntervalS>5</reconnectionIntervalS>
        <minHomeDiskFree unit="%">0</minHomeDiskFree>
    </options>
</configuration>
EOF
}

st_launch() {
    local side=$1
    # STMONITORED: run as one process, not under Syncthing's restarting monitor, so the
    # process id we keep is the one that listens and the one to stop.
    STMONITORED=1 STNOUPGRADE=1 syncthing serve --home="${ST_HOME[$side]}" --no-browser --no-restart \
        --no-upgrade --no-default-folder >>"${ST_HOME[$side]}.log" 2>&1 &
    ST_PID[$side]=$!
    E2E_PIDS+=("${ST_PID[$side]}")
}

# The peer is running, answers on its REST port and listens on both of its own ports.
st_listening() {
    local side=$1 port
    kill -0 "${ST_PID[$side]}" 2>/dev/null || return 2
    for port in "${ST_GUI[$side]}" "${ST_SYNC[$side]}"; do
        ss -Hltnp "( sport = :$port )" | grep -q "pid=${ST_PID[$side]}," || return 1
    done
    st_api "$side" GET /rest/system/ping >/dev/null 2>&1
}

st_wait_listening() {
    local side=$1 deadline=$((SECONDS + 20)) status
    while true; do
        status=0
        st_listening "$side" || status=$?
        ((status == 0)) && return 0
        ((status == 1 && SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# The settings that keep traffic on this machine, as the running peer reports them.
st_check_offline() {
    local side=$1
    st_api "$side" GET /rest/config | jq -e --arg gui "127.0.0.1:${ST_GUI[$side]}" \
        --arg listen "tcp://127.0.0.1:${ST_SYNC[$side]}" '
        .gui.address == $gui and .options.listenAddresses == [$listen]
        and .options.globalAnnounceEnabled == false and .options.localAnnounceEnabled == false
        and .options.relaysEnabled == false and .options.natEnabled == false
        and .options.urAccepted == -1 and .options.crashReportingEnabled == false
        and .options.autoUpgradeIntervalH == 0 and .folders[0].maxConflicts == 10
        and ([.devices[].addresses[]] - ["dynamic"] | all(startswith("tcp://127.0.0.1:")))' \
        >/dev/null || st_fail "peer $side does not run with the loopback-only settings"
}

st_start_pair() {
    e2e_require syncthing curl jq ss
    local side attempt
    mkdir -p "$E2E_TMP/sync"
    ST_DIR[A]=$1
    ST_DIR[B]=$2
    for side in A B; do
        mkdir -p "${ST_DIR[$side]}"
        ST_DIR[$side]=$(cd "${ST_DIR[$side]}" && pwd)
        ST_HOME[$side]="$E2E_TMP/sync/$side"
        syncthing generate --home="${ST_HOME[$side]}" --no-default-folder --skip-port-probing \
            >>"${ST_HOME[$side]}.log" 2>&1 || st_fail "syncthing generate failed for $side"
        ST_ID[$side]=$(syncthing serve --home="${ST_HOME[$side]}" --device-id)
        ST_KEY[$side]=$(head -c 24 /dev/urandom | base64 | tr -d '+/=')
    done
    # A port picked as free may be taken before the peer binds it: then try new ones.
    for attempt in 1 2 3; do
        st_pick_ports
        st_write_config A
        st_write_config B
        # B first: A's first call then finds B listening instead of retrying 5 s later.
        st_launch B
        st_wait_listening B && st_launch A && st_wait_listening A && break
        st_log "peers did not come up on ports ${ST_GUI[*]} ${ST_SYNC[*]} (attempt $attempt)"
        st_stop_pair
        ((attempt < 3)) || st_fail "the peers did not start"
    done
    st_check_offline A
    st_check_offline B
    e2e_wait_for 30 st_connected || st_fail "the peers did not connect"
    st_wait_in_sync 30
    st_log "A=${ST_ID[A]:0:7} B=${ST_ID[B]:0:7} connected and in sync after ${SECONDS} s of the test"
}

st_connected() {
    st_api A GET /rest/system/connections |
        jq -e --arg id "${ST_ID[B]}" '.connections[$id].connected' >/dev/null &&
        st_api B GET /rest/system/connections |
        jq -e --arg id "${ST_ID[A]}" '.connections[$id].connected' >/dev/null
}

st_in_sync() {
    local side
    for side in A B; do
        st_api "$side" GET "/rest/db/status?folder=$ST_FOLDER_ID" |
            jq -e '.state == "idle" and .needTotalItems == 0 and .pullErrors == 0' >/dev/null || return 1
        st_api "$side" GET "/rest/db/completion?folder=$ST_FOLDER_ID&device=${ST_ID[$(st_other "$side")]}" |
            jq -e '.completion == 100' >/dev/null || return 1
    done
}

st_wait_in_sync() {
    e2e_wait_for "${1:-20}" st_in_sync || st_fail "the folders did not come in step"
}

st_listing() {
    find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort | tr '\n' ' '
}

st_scan() {
    st_api "$1" POST "/rest/db/scan?folder=$ST_FOLDER_ID" >/dev/null || st_fail "scan on $1 failed"
}

st_disconnect() {
    st_api A POST "/rest/system/pause?device=${ST_ID[B]}" >/dev/null || st_fail "pausing B failed"
    e2e_wait_for 10 st_apart || st_fail "the peers stayed connected"
}
st_apart() { ! st_api A GET /rest/system/connections | jq -e --arg id "${ST_ID[B]}" '.connections[$id].connected' >/dev/null; }

st_reconnect() {
    st_api A POST "/rest/system/resume?device=${ST_ID[B]}" >/dev/null || st_fail "resuming B failed"
    e2e_wait_for 20 st_connected || st_fail "the peers did not reconnect"
}

st_report() {
    local side
    for side in A B; do
        [[ -n "${ST_PID[$side]:-}" ]] || continue
        e2e_log "peer $side: $(st_api "$side" GET "/rest/db/status?folder=$ST_FOLDER_ID" 2>&1 |
            jq -c '{state, needTotalItems, pullErrors, localFiles, globalFiles}' 2>&1 || true)"
        e2e_log "peer $side folder: $(st_listing "${ST_DIR[$side]}")"
        tail -n 8 "${ST_HOME[$side]}.log" 2>/dev/null | sed "s/^/    $side: /" >&2 || true
    done
}

st_fail() {
    st_report
    e2e_fail "$*"
}

st_stop_pair() {
    local side pid deadline i
    for side in A B; do
        pid=${ST_PID[$side]:-}
        [[ -n "$pid" ]] || continue
        kill -TERM "$pid" 2>/dev/null || true
        deadline=$((SECONDS + 10))
        while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        for i in "${!E2E_PIDS[@]}"; do
            [[ "${E2E_PIDS[i]}" == "$pid" ]] && unset 'E2E_PIDS[i]'
        done
        E2E_PIDS=("${E2E_PIDS[@]}")
        ST_PID[$side]=""
    done
}
