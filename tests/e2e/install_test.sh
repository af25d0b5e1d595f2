#!/usr/bin/env bash
# The install: under a fresh prefix the launcher and autostart entries validate, the icon is in
# the hicolor theme at every usual size and the command leads to the program. Started from a
# program folder it cannot write (as another user when run as root, who may write anywhere),
# the installed program keeps its notes and defaults in the user's XDG data folder. The
# uninstall removes all of it and leaves the notes, the welcome note of the first start included.
source "$(dirname "$0")/lib.sh"

e2e_require desktop-file-validate cmake identify
e2e_start_desktop
build="$(dirname "$(dirname "$STIKKO_BIN")")"
prefix="$E2E_TMP/prefix"
autostart="$E2E_TMP/autostart"
bash "$STIKKO_SOURCE_DIR/scripts/install-program" "$build" "$prefix" "$autostart" >"$E2E_TMP/install.log" 2>&1 ||
    e2e_fail "install-program failed: $(cat "$E2E_TMP/install.log")"

for entry in "$prefix/share/applications/stikko.desktop" "$autostart/stikko.desktop"; do
    out="$(desktop-file-validate "$entry" 2>&1)" || e2e_fail "$entry does not validate: $out"
    [[ -z "$out" ]] || e2e_fail "$entry: $out"
done
exec_line="$(grep -m1 '^Exec=' "$autostart/stikko.desktop")"
[[ "$exec_line" == "Exec=\"$prefix/bin/stikko\"" ]] || e2e_fail "autostart runs $exec_line"
[[ "$(readlink -f "$prefix/bin/stikko")" == "$prefix/lib/stikko/stikko" ]] || e2e_fail "bin/stikko leads elsewhere"
for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/stikko.png"
    [[ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" == "${size}x${size}" ]] || e2e_fail "no ${size}px icon"
done
[[ -f "$prefix/lib/stikko/system/default_config.ini" && -f "$prefix/lib/stikko/sound/alram.wav" ]] ||
    e2e_fail "the program folder lacks its fixed files"

# The user: another one when we are root (root writes into any folder), else ourselves with
# the program folder made read-only.
home="$E2E_TMP/user-home"
runtime="$E2E_TMP/user-runtime"
mkdir -p -m 700 "$home" "$runtime"
run_as=()
if [[ "$(id -u)" -eq 0 ]]; then
    e2e_require setpriv
    chmod 755 "$E2E_TMP"
    chown nobody "$home" "$runtime"
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod -R a-w "$prefix/lib/stikko"
fi
"${run_as[@]}" env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" XDG_RUNTIME_DIR="$runtime" \
    "$prefix/bin/stikko" >>"$E2E_TMP/stikko.log" 2>&1 &
STIKKO_PID=$!
E2E_PIDS+=("$STIKKO_PID")
e2e_wait_for 20 e2e_tray_icon || e2e_fail "the installed program's icon did not appear"
# The first start in the user's empty data folder opens the welcome note; a click makes another.
e2e_wait_notes 1 20
e2e_click_tray 1
e2e_wait_notes 2
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20

store="$home/.local/share/stikko"
notes=("$store"/data/*.ini)
[[ ${#notes[@]} -eq 2 && -f "${notes[1]}" ]] || e2e_fail "not two notes in $store/data: $(ls -la "$store/data" 2>&1)"
[[ -f "${notes[0]%.ini}.rtf" && -f "${notes[1]%.ini}.rtf" ]] || e2e_fail "a note's body is not beside it"
[[ -f "$store/system/welcome_note_made" ]] || e2e_fail "the welcome note's start was not remembered"
grep -q "^doc_name=$store/\./data/" "${notes[0]}" || e2e_fail "the note names another folder: $(grep doc_name "${notes[0]}")"
cmp -s "$store/system/default_config.ini" "$STIKKO_SOURCE_DIR/resources/system/default_config.ini" ||
    e2e_fail "the defaults file was not seeded from the shipped one"
[[ ! -e "$prefix/lib/stikko/data" ]] || e2e_fail "data/ was made in the program folder"

[[ "$(id -u)" -eq 0 ]] || chmod -R u+w "$prefix/lib/stikko"
bash "$STIKKO_SOURCE_DIR/scripts/uninstall-program" "$prefix" >"$E2E_TMP/uninstall.log" 2>&1 ||
    e2e_fail "uninstall-program failed: $(cat "$E2E_TMP/uninstall.log")"
left="$(find "$prefix" "$autostart" -mindepth 1 -not -type d 2>/dev/null)"
[[ -z "$left" ]] || e2e_fail "left after the uninstall: $left"
[[ ! -e "$prefix/lib/stikko" ]] || e2e_fail "the empty program folder stayed"
[[ -f "${notes[0]}" ]] || e2e_fail "the uninstall took the notes"
e2e_log "ok"
