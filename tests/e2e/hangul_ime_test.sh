#!/usr/bin/env bash
# Korean typed through real input methods, one after the other on the same desktop, each on the
# desktop's private D-Bus session with Qt's plug-in for it in the program: ibus with its Hangul
# engine (2-beolsik), then fcitx5 with its Hangul engine (Dubeolsik). At each moment that
# interrupts a syllable still being composed, the syllable must end up exactly once, in the
# note it was typed into, where it was typed: a tool-bar click, a click into the other note, an
# editor-menu command, a click elsewhere in the same body, the focus going to another program,
# an autosave, the settings dialog, hiding the note and the end of the program (SIGTERM).
# ibus's engine answers the reset that follows a commit by committing the syllable once more;
# that copy must go nowhere. fcitx5 does nothing when Qt asks it to commit (a click in the
# text): the note must finish the syllable itself.
source "$(dirname "$0")/lib.sh"

e2e_require ibus-daemon ibus dbus-daemon fcitx5 fcitx5-remote
[[ -x /usr/libexec/ibus-memconf && -x /usr/libexec/ibus-engine-hangul ]] ||
    e2e_fail "ibus-memconf or the Hangul engine is missing (run: make test-deps)"
compgen -G "/usr/lib/*/fcitx5/hangul.so" >/dev/null &&
    compgen -G "/usr/lib/*/qt6/plugins/platforminputcontexts/libfcitx5platforminputcontextplugin.so" >/dev/null ||
    e2e_fail "fcitx5's Hangul engine or its Qt 6 plug-in is missing (run: make test-deps)"
e2e_start_desktop

# The input methods' settings live in the private home.
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" GSETTINGS_BACKEND=keyfile
unset IBUS_ADDRESS GTK_IM_MODULE XMODIFIERS
IM_PID=""

# ibus: a keyfile for the engine's GSettings (2-beolsik, Hangul mode from the start) and ibus's
# in-memory configuration service. It runs on the desktop's private session bus
# (e2e_start_desktop), which activates nothing.
start_ibus() {
    mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
    cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<'EOF'
[org/freedesktop/ibus/engine/hangul]
hangul-keyboard='2'
initial-input-mode='hangul'
EOF
    ibus-daemon --panel=disable --emoji-extension=disable --config=/usr/libexec/ibus-memconf \
        >"$E2E_TMP/ibus.log" 2>&1 &
    IM_PID=$!
    E2E_PIDS+=("$IM_PID")
    e2e_wait_for 20 ibus engine hangul || e2e_fail "ibus did not take the Hangul engine: $(cat "$E2E_TMP/ibus.log")"
    export QT_IM_MODULE=ibus
}

# fcitx5: a profile whose one group holds the keyboard and Hangul, Hangul the default, on
# Dubeolsik. It keeps its state per window and starts each one on the keyboard: im_on turns
# Hangul on in a note once the note has the focus. It docks an icon of its own in the tray.
start_fcitx5() {
    mkdir -p "$XDG_CONFIG_HOME/fcitx5/conf"
    cat >"$XDG_CONFIG_HOME/fcitx5/profile" <<'EOF'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=hangul

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=hangul
Layout=

[GroupOrder]
0=Default
EOF
    printf 'Keyboard=Dubeolsik\n' >"$XDG_CONFIG_HOME/fcitx5/conf/hangul.conf"
    fcitx5 --disable=wayland,waylandim >"$E2E_TMP/fcitx5.log" 2>&1 &
    IM_PID=$!
    E2E_PIDS+=("$IM_PID")
    e2e_wait_for 20 fcitx5-remote || e2e_fail "fcitx5 did not answer: $(cat "$E2E_TMP/fcitx5.log")"
    export QT_IM_MODULE=fcitx
}

stop_im() {
    kill "$IM_PID" 2>/dev/null || true
    wait "$IM_PID" 2>/dev/null || true
    local pids=() pid
    for pid in "${E2E_PIDS[@]}"; do [[ $pid == "$IM_PID" ]] || pids+=("$pid"); done
    E2E_PIDS=("${pids[@]}")
}

# What fcitx5 says of the window with the keyboard focus: 1 keyboard, 2 Hangul.
fcitx_state_is() { [[ "$(fcitx5-remote 2>/dev/null)" == "$1" ]]; }
declare -A hangul_on=()
# Turns Hangul on in the note at `left`, just clicked, the first time (fcitx5 only).
im_on() {
    [[ $QT_IM_MODULE == fcitx && -z "${hangul_on[$1]:-}" ]] || return 0
    # The note's own input context has the focus once it says "keyboard".
    e2e_wait_for 5 fcitx_state_is 1 || e2e_fail "fcitx5 saw no focus in the note at x=$1: $(fcitx5-remote)"
    fcitx5-remote -o
    e2e_wait_for 5 fcitx_state_is 2 || e2e_fail "fcitx5 did not turn Hangul on: $(fcitx5-remote)"
    hangul_on[$1]=1
}

A=20260101_000001_00
B=20260101_000002_00
# Two notes side by side, nothing typed yet; B has an alarm far ahead, so its clock picture
# (the settings) shows.
write_notes() {
    local id left
    rm -rf "$E2E_DATA"
    mkdir -p "$E2E_DATA"
    for id in $A $B; do
        left=100
        [[ $id == "$B" ]] && left=500
        printf '[VALUE_SECTION]\ntitle=%s\nscr_x=%s\nscr_y=100\nscr_width=275\nscr_height=218\nisshow=1\nisshow_toolbar=1\n' \
            "$id" "$left" >"$E2E_DATA/$id.ini"
    done
    printf '[VALUE_ALRAM_SECTION]\nisalram=1\nalram_date=2099-01-01\nalram_datetime=2099-01-01 09:00:00\nalram_h=9\nalram_m=0\n' \
        >>"$E2E_DATA/$B.ini"
}

# Clicks inside the 275 x 218 note at (left, 100): its body, the bold label, the hide button
# and the clock picture.
click_at() { xdotool mousemove "$1" "$2" click "${3:-1}"; }
# The note window at `left`.
note_at() {
    local wid x y w h
    for wid in $(e2e_note_windows); do
        read -r x y w h < <(e2e_geometry "$wid")
        ((x == $1)) && echo "$wid" && return 0
    done
    e2e_fail "no note window at x=$1"
}
# The note the last left click went into, where keys go.
typing_in=""
click_body() {
    click_at $(($1 + 100)) 200 "${2:-1}"
    if [[ "${2:-1}" == 1 ]]; then
        typing_in=$1
        im_on "$1"
    fi
}
click_bold() { click_at $(($1 + 4 + 36 + 5)) $((100 + 218 - 13)); }
click_hide() { click_at $(($1 + 4 + 233 + 9)) $((100 + 218 - 13)); }
click_clock() { click_at $(($1 + 3 + 26 + 8)) $((100 + 3 + 8)); }

# Types 2-beolsik (Dubeolsik) keys on a new line at the end of the body under the pointer's note
# (which is clicked first when given) and leaves the last syllable composing.
compose() {
    local keys=$1
    if [[ -n "${2:-}" ]]; then
        click_body "$2"
        sleep 0.3
    fi
    local wid
    wid="$(note_at "$typing_in")"
    e2e_keys "$wid" ctrl+End Return
    e2e_type "$wid" "$keys" 60
    # The keys reach the engine over its bus; let the last one be composed before what follows.
    sleep 0.6
}
# The body text, its first line (the date line of a new note) as DATE when nothing stuck to it.
text_of() { e2e_rtf_text "$E2E_DATA/$1.rtf" | sed '1s/^작성일:[0-9/]* [^ ]* [0-9:]*$/DATE/'; }
has_line() { text_of "$1" | grep -qx "$2"; }

settings_window() { e2e_note_windows '환경설정$' | sed -n 1p | grep .; }
settings_closed() { ! settings_window; }
expect_body() {
    local id=$1 expected=$2 actual
    actual="$(text_of "$id" | tr '\n' '|')"
    [[ "$actual" == "$expected" ]] || e2e_fail "$QT_IM_MODULE: note $id holds '$actual', expected '$expected'"
}

# Every moment, typed through the input method running now into two fresh notes.
type_round() {
    write_notes
    hangul_on=()
    e2e_start_stikko
    e2e_wait_notes 2
    # A tool-bar click (bold) while 글 is composing.
    compose gksrmf 100
    click_bold 100
    sleep 0.3
    # A click into the other note while 모 is composing (typed on the same line).
    e2e_type "$(note_at 100)" " apah" 60
    sleep 0.6
    click_body 500
    sleep 0.3
    e2e_wait_for 6 has_line $A "한글 메모" ||
        e2e_fail "$QT_IM_MODULE: note A after a bold click and a click into B: $(text_of $A | tr '\n' '|')"

    # A command of the editor menu while 나 is composing.
    compose rksk
    click_body 500 3
    e2e_wait_for 5 e2e_menu_open || e2e_fail "the editor menu did not open"
    e2e_choose "진하게"
    # A click elsewhere in the same body (its first line) while 라 is composing: it stays
    # where it was typed (fcitx5 leaves that to the note).
    e2e_type "$(note_at 500)" " ekfk" 60
    sleep 0.6
    click_at 560 125
    sleep 0.3
    # The keyboard going to another program while 바 is composing, then back.
    compose akqk
    xdotool windowfocus "$(xdotool search --onlyvisible --class trayer | head -1)"
    sleep 0.5
    click_body 500
    sleep 0.3
    # An autosave while 아 is composing writes the body as it is shown.
    compose tkdk
    e2e_wait_for 8 has_line $B "사아" || e2e_fail "$QT_IM_MODULE: the autosave did not write the composing syllable: $(text_of $B | tr '\n' '|')"
    # The settings dialog (through the clock picture) while 아 is still composing.
    click_clock 500
    e2e_wait_for 5 settings_window || e2e_fail "the clock picture did not open the settings"
    sleep 0.3
    e2e_keys "$(settings_window)" Escape
    e2e_wait_for 5 settings_closed || e2e_fail "Escape did not close the settings"

    # Hiding note A while 차 is composing.
    compose wkck 100
    click_hide 100
    e2e_wait_notes 1
    # The end of the program while 글 is composing in B.
    compose gksrmf 500
    kill -TERM "$STIKKO_PID"
    e2e_wait_stikko_end 20

    # Below each date line, the empty line the new note's caret waited on (typing went on new
    # lines).
    expect_body $A "DATE||한글 메모|자차|"
    expect_body $B "DATE||가나 다라|마바|사아|한글|"
    [[ "$(e2e_ini_value "$E2E_DATA/$A.ini" isshow)" -eq 0 ]] || e2e_fail "$QT_IM_MODULE: note A was not hidden"
    e2e_log "$QT_IM_MODULE: ok"
}

start_ibus
type_round
stop_im
start_fcitx5
type_round
stop_im
e2e_log "ok"
