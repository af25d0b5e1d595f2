# Shared by the end-to-end tests (source it): a private headless desktop — Xvfb on a display
# it picks itself, trayer as the notification area, pulseaudio with a null sink, a private
# XDG_RUNTIME_DIR and HOME — and a throwaway program folder holding a copy of $STIKKO_BIN with
# its system/ and sound/ folders. On exit exactly the processes started here are stopped.
#
# The desktop also has a session bus of its own and the accessibility bus on it, through which
# the tests find menu items by their text (e2e_choose) as a screen reader would.
#
# Needs STIKKO_BIN (the built executable); tools/rtf2txt is looked for beside its build folder.
# E2E_NO_TRAY=1 before e2e_start_desktop: a desktop without a notification area (the program
# then shows its own window); e2e_start_tray adds one later.

set -euo pipefail

E2E_PIDS=()
E2E_TMP=""
E2E_NAME="$(basename "${0%.sh}")"
E2E_LIB_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
STIKKO_PID=""

e2e_log() { printf '[%s] %s\n' "$E2E_NAME" "$*" >&2; }

e2e_fail() {
    e2e_log "FAIL: $*"
    if [[ -n "$E2E_TMP" && -f "$E2E_TMP/stikko.log" ]]; then
        e2e_log "program output:"
        sed 's/^/    /' "$E2E_TMP/stikko.log" >&2 || true
    fi
    exit 1
}

# A test that cannot run here (e.g. it may not mount a file system) ends with this status,
# which ctest reports as skipped.
E2E_SKIP=77
e2e_skip() {
    e2e_log "SKIP: $*"
    exit "$E2E_SKIP"
}

# Commands run at the end, after the processes are stopped and before the folder goes.
E2E_AT_EXIT=()
e2e_at_exit() { E2E_AT_EXIT+=("$*"); }

e2e_cleanup() {
    local status=$?
    local i
    # Newest first: the program, then the sound server, the tray, the X server.
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        kill "${E2E_PIDS[i]}" 2>/dev/null || true
    done
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        wait "${E2E_PIDS[i]}" 2>/dev/null || true
    done
    for ((i = ${#E2E_AT_EXIT[@]} - 1; i >= 0; i--)); do
        eval "${E2E_AT_EXIT[i]}" || true
    done
    if [[ -n "$E2E_TMP" && -d "$E2E_TMP" ]]; then
        if [[ $status -ne 0 && -n "${E2E_KEEP:-}" ]]; then
            e2e_log "kept $E2E_TMP"
        else
            rm -rf "$E2E_TMP"
        fi
    fi
    exit $status
}
trap e2e_cleanup EXIT
# A command that fails under `set -e` outside e2e_fail would otherwise end the test without a word.
set -E
trap 'e2e_log "FAIL: line ${BASH_LINENO[0]} of ${BASH_SOURCE[1]:-$0}: $BASH_COMMAND"' ERR

e2e_require() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || e2e_fail "missing tool '$tool' (run: make deps)"
    done
}

# Runs "$@" every 0.1 s until it succeeds or `seconds` pass; returns its last status.
e2e_wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    while true; do
        if "$@" >/dev/null 2>&1; then
            return 0
        fi
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

# Runs "$@" every 0.1 s for `seconds` (whole seconds): succeeds when it succeeded every time.
# For what must NOT happen within a time, the one thing a wait cannot show.
e2e_holds() {
    local seconds=$1
    shift
    local deadline=$((${EPOCHREALTIME/./} + seconds * 1000000))
    while ((${EPOCHREALTIME/./} < deadline)); do
        "$@" >/dev/null 2>&1 || return 1
        sleep 0.1
    done
}

e2e_start_desktop() {
    e2e_require Xvfb xdotool xmodmap trayer xdpyinfo xwininfo xprop pulseaudio dbus-daemon
    [[ -n "${STIKKO_BIN:-}" && -x "$STIKKO_BIN" ]] || e2e_fail "STIKKO_BIN is not an executable: ${STIKKO_BIN:-unset}"

    E2E_TMP="$(mktemp -d "${TMPDIR:-/tmp}/stikko-e2e.XXXXXX")"
    export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    export HOME="$E2E_TMP/home"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    unset QT_QPA_PLATFORM SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS

    # A display number nobody else is likely to pick (other test runs may share the machine):
    # a random start, skipping numbers in use, and the server must still be ours once it
    # answers.
    E2E_SCREEN_W=${E2E_SCREEN_W:-1280}
    E2E_SCREEN_H=${E2E_SCREEN_H:-800}
    local number=$((200 + RANDOM % 600)) tries xpid
    for ((tries = 0; tries < 20; tries++, number++)); do
        [[ -e "/tmp/.X${number}-lock" || -e "/tmp/.X11-unix/X${number}" ]] && continue
        # -noreset: without it the server resets when its last client (the probe) leaves, and
        # a client connecting just then is refused.
        Xvfb ":$number" -screen 0 "${E2E_SCREEN_W}x${E2E_SCREEN_H}x24" -nolisten tcp -noreset \
            >"$E2E_TMP/xvfb.log" 2>&1 &
        xpid=$!
        export DISPLAY=":$number"
        if e2e_wait_for 10 xdpyinfo && kill -0 "$xpid" 2>/dev/null; then
            E2E_PIDS+=("$xpid")
            break
        fi
        kill "$xpid" 2>/dev/null || true
        wait "$xpid" 2>/dev/null || true
        xpid=""
    done
    [[ -n "$xpid" ]] || e2e_fail "no X server could be started: $(cat "$E2E_TMP/xvfb.log")"

    e2e_start_accessibility
    [[ -n "${E2E_NO_TRAY:-}" ]] || e2e_start_tray
    # No window manager runs here, so nobody announces the work area; say it as one would:
    # the screen less the 24-pixel panel at the bottom, where the icons sit.
    E2E_WORK_W=$E2E_SCREEN_W
    E2E_WORK_H=$((E2E_SCREEN_H - 24))
    xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "0, 0, $E2E_WORK_W, $E2E_WORK_H"

    pulseaudio -n -F /dev/null --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        --load="module-null-sink sink_name=nullsink" --load="module-native-protocol-unix" \
        >"$E2E_TMP/pulse.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for 10 test -S "$XDG_RUNTIME_DIR/pulse/native" || e2e_log "pulseaudio did not start (sound not needed here)"

    e2e_install_program
}

# A session bus of the test's own, named NAME (its files are $E2E_TMP/NAME.*), that starts
# no services; programs started after it use it.
e2e_start_session_bus() {
    local name=$1
    cat >"$E2E_TMP/$name.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:dir=$E2E_TMP</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --config-file="$E2E_TMP/$name.conf" --nofork --nopidfile --print-address=3 \
        3>"$E2E_TMP/$name.address" >"$E2E_TMP/$name.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for 10 test -s "$E2E_TMP/$name.address" ||
        e2e_fail "the session bus did not start: $(cat "$E2E_TMP/$name.log")"
    DBUS_SESSION_BUS_ADDRESS="$(head -1 "$E2E_TMP/$name.address")"
    export DBUS_SESSION_BUS_ADDRESS
}

# A private session bus that starts no services (so none outlives the test), and the
# accessibility bus beside it. The bus launcher also puts the accessibility bus's address on
# the root window, where Qt and tests/e2e/a11y.py find it even after a test moves the program
# to a session bus of its own. Qt's bridge to it is on only where a screen reader asks or
# QT_LINUX_ACCESSIBILITY_ALWAYS_ON is set.
E2E_A11Y_LAUNCHER=/usr/libexec/at-spi-bus-launcher
e2e_start_accessibility() {
    [[ -x "$E2E_A11Y_LAUNCHER" && -x /usr/libexec/at-spi2-registryd ]] ||
        e2e_fail "missing the accessibility bus (run: make test-deps)"
    /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
        e2e_fail "python3 cannot load Atspi (run: make test-deps)"
    e2e_start_session_bus session
    "$E2E_A11Y_LAUNCHER" --launch-immediately >"$E2E_TMP/a11y.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for 10 e2e_has_a11y_bus || e2e_fail "the accessibility bus did not start: $(cat "$E2E_TMP/a11y.log")"
    # The registry, started here rather than by the accessibility bus, so that it is ours to
    # stop (the bus would start it as a daemon of nobody's).
    E2E_A11Y_BUS="$(xprop -root AT_SPI_BUS | sed -n 's/^AT_SPI_BUS(STRING) = "\(.*\)"$/\1/p')"
    AT_SPI_BUS_ADDRESS="$E2E_A11Y_BUS" /usr/libexec/at-spi2-registryd >"$E2E_TMP/registry.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for 10 e2e_has_a11y_registry || e2e_fail "the accessibility registry did not start: $(cat "$E2E_TMP/registry.log")"
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}
e2e_has_a11y_bus() { xprop -root AT_SPI_BUS | grep -q 'unix:'; }
e2e_has_a11y_registry() {
    dbus-send --bus="$E2E_A11Y_BUS" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.atspi.Registry | grep -q 'boolean true'
}

# trayer as the notification area at the bottom right.
e2e_start_tray() {
    trayer --edge bottom --align right --widthtype pixel --width 100 --height 24 \
        --transparent false >"$E2E_TMP/trayer.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_wait_for 20 xdotool search --class trayer ||
        e2e_fail "trayer did not start: $(cat "$E2E_TMP/trayer.log"); X server answers: $(xdpyinfo >/dev/null 2>&1 && echo yes)"
}

# A fresh program folder: the executable with system/ and sound/ beside it, no data yet, and
# past its first start.
e2e_install_program() {
    E2E_PROG="$E2E_TMP/prog"
    local bindir
    bindir="$(dirname "$STIKKO_BIN")"
    mkdir -p "$E2E_PROG"
    cp "$STIKKO_BIN" "$E2E_PROG/stikko"
    cp -r "$bindir/system" "$bindir/sound" "$E2E_PROG/"
    # As after a first start: no welcome note among the notes a test counts and reads.
    : >"$E2E_PROG/system/welcome_note_made"
    E2E_DATA="$E2E_PROG/data"
    RTF2TXT="${RTF2TXT:-$(dirname "$bindir")/tools/rtf2txt}"
}

e2e_start_stikko() {
    "$E2E_PROG/stikko" >>"$E2E_TMP/stikko.log" 2>&1 &
    STIKKO_PID=$!
    E2E_PIDS+=("$STIKKO_PID")
    if [[ -n "${E2E_NO_TRAY:-}" ]]; then
        e2e_wait_for 20 e2e_fallback_window || e2e_fail "the program's own window did not appear"
    else
        e2e_wait_for 20 e2e_tray_icon || e2e_fail "the tray icon did not appear"
    fi
}

# The window the program shows while there is no notification area (titled "Stikko").
e2e_fallback_window() {
    e2e_note_windows '^Stikko$' | sed -n 1p | grep .
}

# Waits for the program to end (at most `seconds`) and checks its exit code is 0.
e2e_wait_stikko_end() {
    local seconds=${1:-20}
    e2e_wait_for "$seconds" e2e_stikko_gone || e2e_fail "the program did not end within ${seconds} s"
    local code=0
    wait "$STIKKO_PID" || code=$?
    [[ $code -eq 0 ]] || e2e_fail "the program ended with code $code"
}

e2e_stikko_gone() { ! kill -0 "$STIKKO_PID" 2>/dev/null; }

# The tray icon's window: the one child window of trayer's panel that belongs to us. The icon is
# clicked at that window's middle: it is one picture, no named control a screen reader lists.
e2e_tray_icon() {
    local wid
    for wid in $(e2e_windows); do
        local geometry
        geometry="$(xdotool getwindowgeometry "$wid" 2>/dev/null)" || continue
        # Icons are small squares; notes and menus are larger.
        if [[ "$geometry" =~ Geometry:\ ([0-9]+)x([0-9]+) ]] && ((BASH_REMATCH[1] <= 48 && BASH_REMATCH[2] <= 48)); then
            echo "$wid"
            return 0
        fi
    done
    return 1
}

# Centre of the tray icon in root coordinates: "X Y".
e2e_tray_icon_centre() {
    local wid
    wid="$(e2e_tray_icon)" || e2e_fail "no tray icon"
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
}

e2e_click_tray() {
    local button=${1:-1}
    local centre
    centre="$(e2e_tray_icon_centre)"
    # shellcheck disable=SC2086
    xdotool mousemove $centre click "$button"
}

# Pop-up menus and tool tips bypass the window manager; notes and dialogs do not.
e2e_is_popup() { xwininfo -id "$1" 2>/dev/null | grep -q 'Override Redirect State: yes'; }

# Visible windows of the program (xdotool's own name matching misses some of Qt's windows,
# so titles are compared here). A window that goes away while xdotool walks the window tree (a
# tip, a notice) ends its search with an X error and a list cut short: it is searched again.
e2e_windows() {
    local lines
    for _ in 1 2 3 4 5; do
        lines="$(xdotool search --onlyvisible --pid "$STIKKO_PID" 2>&1)" || true
        [[ "$lines" == *"X Error"* ]] || break
    done
    grep -E '^[0-9]+$' <<<"$lines" || true
}

# Windows of the program whose title matches the regular expression (note windows carry their
# note's title), leaving out the tray icon and pop-ups.
e2e_note_windows() {
    local pattern=${1:-} wid geometry
    for wid in $(e2e_windows); do
        geometry="$(xdotool getwindowgeometry "$wid" 2>/dev/null)" || continue
        [[ "$geometry" =~ Geometry:\ ([0-9]+)x([0-9]+) ]] || continue
        ((BASH_REMATCH[1] > 48 || BASH_REMATCH[2] > 48)) || continue
        e2e_is_popup "$wid" && continue
        if [[ -n "$pattern" ]]; then
            [[ "$(xdotool getwindowname "$wid" 2>/dev/null)" =~ $pattern ]] || continue
        fi
        echo "$wid"
    done
}

e2e_count_notes() {
    local wid
    for wid in $(e2e_note_windows); do
        # The program's own window on a desktop without a notification area is no note.
        [[ "$(xdotool getwindowname "$wid" 2>/dev/null)" == "Stikko" ]] || echo "$wid"
    done | wc -l
}

e2e_wait_notes() {
    local count=$1
    e2e_wait_for "${2:-10}" e2e_has_note_count "$count" ||
        e2e_fail "expected $count note windows, saw $(e2e_count_notes)"
}
e2e_has_note_count() { [[ "$(e2e_count_notes)" -eq "$1" ]]; }

# "X Y W H" of a window.
e2e_geometry() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    echo "$X $Y $WIDTH $HEIGHT"
}

# Chooses the item of the open pop-up menu (the tray menu, a note's menus) whose text is
# `text`, with a click on it; fails when there is no such item or it is disabled.
e2e_choose() {
    local text=$1 centre
    e2e_wait_for 5 e2e_menu_open || e2e_fail "no menu is open to choose '$text' from"
    centre="$(/usr/bin/python3 "$E2E_LIB_DIR/a11y.py" menu-item "$text" 2>"$E2E_TMP/a11y.err")" ||
        e2e_fail "$(cat "$E2E_TMP/a11y.err")"
    # shellcheck disable=SC2086
    xdotool mousemove $centre click 1
    e2e_wait_for 5 e2e_menu_closed || e2e_fail "the menu stayed open after choosing '$text'"
}

# "X Y W H STATES" of the control of window `wid` that a screen reader knows by `role` and
# `name` (tests/e2e/a11y.py boxes: "push button", "list item", ...; STATES as it gives them),
# waiting up to 5 s for it to show. Controls of the program's other windows under the same name
# are left out by place.
e2e_control_box() {
    local wid=$1 role=$2 name=$3 wx wy ww wh x y w h states deadline=$((SECONDS + 5))
    read -r wx wy ww wh < <(e2e_geometry "$wid")
    while true; do
        while read -r x y w h states; do
            if ((x + w / 2 >= wx && x + w / 2 < wx + ww && y + h / 2 >= wy && y + h / 2 < wy + wh)); then
                echo "$x $y $w $h $states"
                return 0
            fi
        done < <(/usr/bin/python3 "$E2E_LIB_DIR/a11y.py" boxes "$role" "$name" "$STIKKO_PID" 2>"$E2E_TMP/a11y.err")
        ((SECONDS < deadline)) || e2e_fail "window $wid shows no $role '$name': $(cat "$E2E_TMP/a11y.err")"
        sleep 0.2
    done
}

# Whether that control is in `state` ("active", "checked", ...) now.
e2e_control_is() {
    local box
    box="$(e2e_control_box "$1" "$2" "$3")" || return 1
    [[ ",${box##* }," == *",$4,"* ]]
}
# Whether window `wid` is the program's active window, as the program itself sees it (the X
# focus may have moved before it heard).
e2e_window_active() { e2e_control_is "$1" filler "$(xdotool getwindowname "$1")" active; }

# Clicks (`button`, default the left one) the middle of a control found as e2e_control_box
# finds it.
e2e_click_control() {
    local box x y w h
    box="$(e2e_control_box "$1" "$2" "$3")"
    read -r x y w h _ <<<"$box"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click "${4:-1}"
}

# Opens the tray menu (right button on the icon) and chooses the item `text`.
e2e_tray_menu() {
    e2e_click_tray 3
    e2e_wait_for 5 e2e_menu_open || e2e_fail "the tray menu did not open"
    e2e_choose "$1"
}
e2e_menu_closed() { ! e2e_menu_open; }
e2e_menu_open() {
    local wid
    for wid in $(e2e_windows); do
        local geometry
        geometry="$(xdotool getwindowgeometry "$wid" 2>/dev/null)" || continue
        [[ "$geometry" =~ Geometry:\ ([0-9]+)x([0-9]+) ]] || continue
        if ((BASH_REMATCH[2] > 100)) && e2e_is_popup "$wid"; then
            return 0
        fi
    done
    return 1
}

# The window that has the keyboard focus.
e2e_focused_window() { xdotool getwindowfocus 2>/dev/null; }
e2e_has_focus() { [[ "$(e2e_focused_window)" == "$1" ]]; }

# Waits (5 s) until window `wid` has the keyboard focus, else fails: keys sent elsewhere would
# test nothing, or the wrong thing.
e2e_expect_focus() {
    local wid=$1 focused
    e2e_wait_for 5 e2e_has_focus "$wid" && return 0
    focused="$(e2e_focused_window)"
    e2e_fail "window $wid '$(xdotool getwindowname "$wid" 2>/dev/null)' has not the keyboard focus;" \
        "$focused '$(xdotool getwindowname "$focused" 2>/dev/null)' has it"
}

# Sends keys (xdotool key names) to window `wid` once it has the focus.
e2e_keys() {
    local wid=$1
    shift
    e2e_expect_focus "$wid"
    xdotool key --clearmodifiers "$@"
}

# Types `text` into window `wid` once it has the focus (`delay` ms between keys, default 40).
e2e_type() {
    local wid=$1 text=$2 delay=${3:-40}
    e2e_map_keys "$text"
    e2e_expect_focus "$wid"
    xdotool type --delay "$delay" "$text"
}

# Gives the characters of `text` that the keyboard map lacks (Korean) keys of their own, once
# per test: xdotool would remap one spare key for each in turn, and a program that reads the
# map after it changed again (one that lags behind, on a busy machine) types another character
# or none. When the free keys run out, xdotool remaps as it goes.
declare -A E2E_KEY_OF=()
E2E_FREE_KEYS=()
E2E_KEYS_LISTED=""
e2e_map_keys() {
    local text=$1 i ch
    if [[ -z "$E2E_KEYS_LISTED" ]]; then
        mapfile -t E2E_FREE_KEYS < <(xmodmap -pke | awk 'NF == 3 && $2 > 8 { print $2 }')
        E2E_KEYS_LISTED=yes
    fi
    for ((i = 0; i < ${#text}; i++)); do
        ch=${text:i:1}
        (($(printf '%d' "'$ch") >= 128)) && [[ -z "${E2E_KEY_OF[$ch]:-}" ]] || continue
        ((${#E2E_FREE_KEYS[@]})) || return 0
        E2E_KEY_OF[$ch]=${E2E_FREE_KEYS[0]}
        E2E_FREE_KEYS=("${E2E_FREE_KEYS[@]:1}")
        xmodmap -e "keycode ${E2E_KEY_OF[$ch]} = $(printf 'U%04X' "'$ch")"
    done
}

# Clicks into the middle of a note window (its body, which fills it: where in the text is no
# matter here) and waits for the window to take the focus.
e2e_click_body() {
    local wid=$1 x y w h
    read -r x y w h < <(e2e_geometry "$wid")
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
    e2e_expect_focus "$wid"
}

# Text of a note body as UTF-8.
e2e_rtf_text() {
    [[ -x "$RTF2TXT" ]] || e2e_fail "rtf2txt not built at $RTF2TXT"
    "$RTF2TXT" "$1"
}

# Value of an INI key (first match, any section), without carriage returns.
e2e_ini_value() {
    local file=$1 key=$2
    grep -m1 -i "^${key}=" "$file" | cut -d= -f2- | tr -d '\r'
}

e2e_ids() {
    find "$E2E_DATA" -maxdepth 1 -name '*.ini' -printf '%f\n' 2>/dev/null | sed 's/\.ini$//' | sort
}
