#!/usr/bin/env bash
# The tray menu in the flat look, opened with a right click on the real tray (trayer, XEmbed):
# a tinted icon column, and a framed selection bar over the item under the pointer with its top
# row left as it was. Then on a desktop whose tray host speaks the D-Bus protocol and would draw
# the menu itself: the program opens the same menu at the pointer on the host's context click.
#
# The colours are those the flat look derives from the toolkit's default desktop colours
# (button face #efefef, highlight #308cc6): menu background #fdfdfd, icon column #f2f2f2,
# selection fill #bddaed framed in #308cc6.
source "$(dirname "$0")/lib.sh"

e2e_require import convert dbus-daemon dbus-send
SNI_WATCHER="$(dirname "$(dirname "$STIKKO_BIN")")/tools/sni_watcher"
[[ -x "$SNI_WATCHER" ]] || e2e_fail "sni_watcher not built at $SNI_WATCHER"

# "X Y W H" of the open menu's window.
menu_geometry() {
    local wid x y w h
    for wid in $(e2e_windows); do
        e2e_is_popup "$wid" || continue
        read -r x y w h < <(e2e_geometry "$wid")
        if ((h > 100)); then
            echo "$x $y $w $h"
            return 0
        fi
    done
    return 1
}

# Colour of the screen pixel (x, y) as RRGGBB.
pixel() { convert "$E2E_TMP/shot.png" -crop "1x1+$1+$2" +repage -format '%[hex:p{0,0}]' info: | tr 'A-F' 'a-f'; }

expect_pixel() {
    local x=$1 y=$2 want=$3 what=$4 got
    got="$(pixel "$x" "$y")"
    [[ "$got" == "$want" ]] || e2e_fail "$what at $x,$y is #$got, not #$want"
}

# Hovers the third row of the open menu and checks the look; the menu's top-left corner must
# be at `want_x`,`want_y` when they are given.
check_menu_look() {
    local want_x=${1:-} want_y=${2:-} mx my mw mh
    e2e_wait_for 5 menu_geometry || e2e_fail "the tray menu did not open"
    read -r mx my mw mh < <(menu_geometry)
    e2e_log "menu at $mx,$my ${mw}x$mh"
    if [[ -n "$want_x" ]]; then
        ((mx == want_x && my == want_y)) || e2e_fail "menu at $mx,$my, not at the pointer $want_x,$want_y"
    fi
    # Ten 24-pixel rows and six 4-pixel separators inside a 3-pixel frame.
    ((mh == 3 + 10 * 24 + 6 * 4 + 3)) || e2e_fail "menu is $mh pixels high"
    local top=$((my + 3)) left=$((mx + 3)) right=$((mx + mw - 4))
    local hot=$((top + 2 * 24 + 4)) # the third row, below the first two rows and a separator
    xdotool mousemove $((right - 10)) $((hot + 12))
    sleep 0.5
    import -window root "$E2E_TMP/shot.png"
    expect_pixel $((left + 2)) $((top + 12)) f2f2f2 "icon column"
    expect_pixel $((right - 2)) $((top + 2)) fdfdfd "menu background"
    expect_pixel $((right - 2)) "$hot" fdfdfd "hot row's top row"
    expect_pixel $((right - 2)) $((hot + 1)) 308cc6 "selection frame"
    expect_pixel $((right - 2)) $((hot + 2)) bddaed "selection fill"
    expect_pixel "$right" $((hot + 12)) 308cc6 "selection frame's right edge"
    expect_pixel $((right - 2)) $((hot + 23)) 308cc6 "selection frame's bottom"
    xdotool key --clearmodifiers Escape
    e2e_wait_for 5 e2e_menu_closed || e2e_fail "the menu did not close"
}

e2e_start_desktop

# 1. The XEmbed tray shows the program's own menu widget.
e2e_start_stikko
e2e_click_tray 3
check_menu_look
kill "$STIKKO_PID"
e2e_wait_stikko_end 20

# 2. A private session bus (no services to start) with a tray host of the D-Bus protocol.
e2e_start_session_bus tray
"$SNI_WATCHER" >"$E2E_TMP/watcher.log" 2>&1 &
E2E_PIDS+=($!)
e2e_wait_for 10 grep -q '^ready' "$E2E_TMP/watcher.log" || e2e_fail "sni_watcher: $(cat "$E2E_TMP/watcher.log")"

"$E2E_PROG/stikko" >>"$E2E_TMP/stikko.log" 2>&1 &
STIKKO_PID=$!
E2E_PIDS+=("$STIKKO_PID")
e2e_wait_for 20 grep -q '^item ' "$E2E_TMP/watcher.log" || e2e_fail "the icon did not register with the host"
service="$(sed -n 's/^item //p' "$E2E_TMP/watcher.log" | head -1)"
e2e_log "icon registered as $service"
e2e_tray_icon >/dev/null && e2e_fail "an XEmbed icon appeared although a D-Bus host is there"

# The host's context click: the menu opens at the pointer.
xdotool mousemove 400 300
dbus-send --session --type=method_call --dest="$service" /StatusNotifierItem \
    org.kde.StatusNotifierItem.ContextMenu int32:400 int32:300
check_menu_look 400 300

kill "$STIKKO_PID"
e2e_wait_stikko_end 20
e2e_log "ok"
