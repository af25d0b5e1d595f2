#!/usr/bin/env bash
# The Debian package. `make deb` makes it from the release build; lintian finds no error or
# warning in it, and its AppStream and launcher files validate. Installed with apt it gives
# /usr/bin/stikko; an ordinary user's first start on the desktop opens the welcome note, kept in
# that user's data folder; root's start keeps its notes in its own home too, never under /usr.
# `apt purge` then removes every file the package installed and leaves the notes.
#
# It installs into this machine, so it runs only as root (as CI does), one at a time per
# machine, and never where a stikko package is installed already.
source "$(dirname "$0")/lib.sh"

[[ "$(id -u)" -eq 0 ]] || e2e_skip "installs a package into this machine: only as root"
command -v apt-get >/dev/null 2>&1 || e2e_skip "no apt here"
e2e_require dpkg-buildpackage dh lintian appstreamcli desktop-file-validate flock setpriv timeout

# Two runs on one machine would install and purge under each other.
exec 9>"${TMPDIR:-/tmp}/stikko-package-test.lock"
flock -w 300 9 || e2e_fail "another run of this test kept the machine for 5 minutes"
status="$(dpkg-query -W -f='${db:Status-Status}' stikko 2>/dev/null || true)"
[[ -z "$status" || "$status" == not-installed ]] ||
    e2e_skip "a stikko package is on this machine already ($status); not replacing it"

e2e_start_desktop
apt_quiet=(env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=120)
e2e_at_exit 'dpkg-query -W stikko >/dev/null 2>&1 && "${apt_quiet[@]}" purge stikko >/dev/null 2>&1'

# Made as a user makes it, from the source folder's release build.
make --no-print-directory -C "$STIKKO_SOURCE_DIR" deb >"$E2E_TMP/deb.log" 2>&1 ||
    e2e_fail "make deb failed: $(tail -30 "$E2E_TMP/deb.log")"
deb="$(tail -1 "$E2E_TMP/deb.log")"
[[ "$deb" == *.deb && -f "$deb" ]] || e2e_fail "make deb named no package: $(tail -5 "$E2E_TMP/deb.log")"
# shellcheck source=/dev/null
source "$STIKKO_SOURCE_DIR/build/release/release.env"
[[ "$(dpkg-deb -f "$deb" Version)" == "$STIKKO_VERSION-1" ]] ||
    e2e_fail "package version $(dpkg-deb -f "$deb" Version), project version $STIKKO_VERSION"
depends="$(dpkg-deb -f "$deb" Depends)"
for need in libqt6gui6 libqt6multimedia6 fonts-nanum fonts-nanum-coding qt6-translations-l10n qt6-wayland; do
    [[ ", $depends," == *", $need"[\ ,]* ]] || e2e_fail "Depends lacks $need: $depends"
done

lintian --fail-on error,warning "$deb" >"$E2E_TMP/lintian.log" 2>&1 || e2e_fail "lintian: $(cat "$E2E_TMP/lintian.log")"
contents="$E2E_TMP/contents"
dpkg-deb -x "$deb" "$contents"
metainfo=("$contents"/usr/share/metainfo/*.metainfo.xml)
[[ ${#metainfo[@]} -eq 1 && -f "${metainfo[0]}" ]] || e2e_fail "no AppStream file in the package"
out="$(appstreamcli validate --no-net "${metainfo[0]}" 2>&1)" || e2e_fail "appstreamcli: $out"
grep -qE '^[EWI]:' <<<"$out" && e2e_fail "appstreamcli: $out"
grep -q "<release version=\"$STIKKO_VERSION\"" "${metainfo[0]}" || e2e_fail "the AppStream release is not $STIKKO_VERSION"
out="$(desktop-file-validate "$contents/usr/share/applications/stikko.desktop" 2>&1)" || e2e_fail "$out"
[[ -z "$out" ]] || e2e_fail "desktop-file-validate: $out"
[[ -f "$contents/usr/share/man/man1/stikko.1.gz" ]] || e2e_fail "no manual page"
# The package starts nothing for every user at log-in.
[[ ! -e "$contents/etc" ]] || e2e_fail "the package installs into /etc: $(find "$contents/etc")"

"${apt_quiet[@]}" install --no-install-recommends "$deb" >"$E2E_TMP/apt.log" 2>&1 ||
    e2e_fail "apt cannot install the package: $(tail -20 "$E2E_TMP/apt.log")"
mapfile -t installed < <(dpkg -L stikko)
[[ "$(readlink -f /usr/bin/stikko)" == /usr/lib/stikko/stikko ]] || e2e_fail "/usr/bin/stikko leads elsewhere"

# An ordinary user (nobody), with a home of the test's own: `"${as_user[@]}" command` runs
# the command as that user (with the same process id, which finds the program's windows).
chmod 755 "$E2E_TMP"
user_home() {
    local home=$1
    mkdir -p -m 700 "$home" "$home.runtime"
    chown nobody "$home" "$home.runtime"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups
        env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u XDG_STATE_HOME HOME="$home" XDG_RUNTIME_DIR="$home.runtime")
}

# --version prints the project's version, exits 0 and starts nothing (a start would hang here
# until the timeout, with no display).
user_home "$E2E_TMP/probe"
"${as_user[@]}" env -u DISPLAY QT_QPA_PLATFORM=offscreen timeout 10 /usr/bin/stikko --version \
    >"$E2E_TMP/version.log" 2>&1 || e2e_fail "--version ended with $?: $(cat "$E2E_TMP/version.log")"
[[ "$(head -1 "$E2E_TMP/version.log")" == "stikko $STIKKO_VERSION" ]] ||
    e2e_fail "--version printed: $(cat "$E2E_TMP/version.log")"

home="$E2E_TMP/user"
user_home "$home"
"${as_user[@]}" /usr/bin/stikko >>"$E2E_TMP/stikko.log" 2>&1 &
STIKKO_PID=$!
E2E_PIDS+=("$STIKKO_PID")
e2e_wait_for 20 e2e_tray_icon || e2e_fail "the installed program's icon did not appear"
welcome_window() { e2e_note_windows '^Stikko에 오신 것을 환영합니다$' | sed -n 1p | grep .; }
e2e_wait_for 20 welcome_window || e2e_fail "no welcome note on the screen"
e2e_wait_notes 1
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20

data="$home/.local/share/stikko/data"
notes=("$data"/*.ini)
[[ ${#notes[@]} -eq 1 && -f "${notes[0]}" ]] || e2e_fail "not one note in $data: $(ls -la "$data" 2>&1)"
text="$("$RTF2TXT" "${notes[0]%.ini}.rtf")" || e2e_fail "the welcome note has no readable body"
[[ "$text" == *"Stikko에 오신 것을 환영합니다"* && "$text" == *"$data"* ]] ||
    e2e_fail "the welcome note says: $text"

# Root, who may write anywhere, keeps its notes in its own home too.
roothome="$E2E_TMP/root-home"
mkdir -p -m 700 "$roothome" "$roothome.runtime"
env -u DISPLAY -u XDG_DATA_HOME -u XDG_STATE_HOME HOME="$roothome" XDG_RUNTIME_DIR="$roothome.runtime" \
    QT_QPA_PLATFORM=offscreen /usr/bin/stikko >>"$E2E_TMP/stikko.log" 2>&1 &
STIKKO_PID=$!
E2E_PIDS+=("$STIKKO_PID")
e2e_wait_for 20 compgen -G "$roothome/.local/share/stikko/data/*.ini" || e2e_fail "root's start made no note in its home"
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
left="$(comm -23 <(find /usr/lib/stikko | sort) <(printf '%s\n' "${installed[@]}" | sort))"
[[ -z "$left" ]] || e2e_fail "the program wrote under /usr: $left"

"${apt_quiet[@]}" purge stikko >"$E2E_TMP/purge.log" 2>&1 || e2e_fail "apt purge failed: $(cat "$E2E_TMP/purge.log")"
for path in "${installed[@]}"; do
    [[ -d "$path" && ! -L "$path" ]] && continue
    [[ ! -e "$path" && ! -L "$path" ]] || e2e_fail "left after the purge: $path"
done
[[ ! -e /usr/lib/stikko ]] || e2e_fail "left after the purge: $(find /usr/lib/stikko)"
[[ -f "${notes[0]}" && -f "${notes[0]%.ini}.rtf" ]] || e2e_fail "the purge took the user's notes"
e2e_log "ok"
