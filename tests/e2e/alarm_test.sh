#!/usr/bin/env bash
# A note whose alarm moment has passed rings as soon as the program starts: its sound reaches
# the sound server (recorded from the null sink's monitor) and its title bar swaps its colours
# (screenshots of both colours in turn). The note and the defaults come from the Windows
# program: their sound paths name Windows files; the note's stands for the file of that name in
# the program's sound/ folder, a 440 Hz tone unlike the shipped sound (817 Hz).
#
# E2E_ARTIFACTS=<folder>: keep the recording and the screenshots there for a look.
source "$(dirname "$0")/lib.sh"

e2e_require parec pactl sox import convert
e2e_start_desktop
[[ -S "$XDG_RUNTIME_DIR/pulse/native" ]] || e2e_fail "the sound server did not start: $(cat "$E2E_TMP/pulse.log")"

id="20040201_090503_07"
mkdir -p "$E2E_DATA"
# Title bar: RGB 57,111,83 behind white text.
cat >"$E2E_DATA/$id.ini" <<'INI'
[VALUE_SECTION]
scr_x=200
scr_y=150
isshow=1
[VALUE_COLOR_SECTION]
title_color=16777215
titlebk_color=5467961
[VALUE_ALRAM_SECTION]
is_sound=1
isalram=1
alram_repeat=1
alram_datetime=2004-02-01 09:00:00
sound_file=C:\Program Files\Orbindo\Stikko\.\sound\Bell.WAV
INI
sox -n -r 44100 -c 1 -b 16 -e signed-integer "$E2E_PROG/sound/bell.wav" synth 1 sine 440 vol 0.5
printf 'sound_file=C:\\WINDOWS\\Media\\ding.wav\r\n' >>"$E2E_PROG/system/default_config.ini"
green="396F53"
white="FFFFFF"

# Raw samples, which can be read while they are still being recorded.
raw="$E2E_TMP/rec.raw"
rec="$E2E_TMP/rec.wav"
parec -d nullsink.monitor --raw --format=s16le --rate=44100 --channels=1 "$raw" >"$E2E_TMP/parec.log" 2>&1 &
E2E_PIDS+=($!)
rec_pid=$!
recording() { pactl list short source-outputs | grep -q .; }
e2e_wait_for 10 recording || e2e_fail "the recorder did not connect: $(cat "$E2E_TMP/parec.log")"

e2e_start_stikko
e2e_wait_notes 1
note="$(e2e_note_windows | sed -n 1p)"
read -r nx ny nw nh < <(e2e_geometry "$note")

# The commonest colour of the title bar's free middle (between the clock and the enlarge
# image, inside the borders) on a screenshot taken now (kept as blink-<colour>.png), as RRGGBB.
title_colour() {
    import -window root "$E2E_TMP/blink.png"
    local colour
    colour="$(convert "$E2E_TMP/blink.png" -crop "$((nw - 100))x10+$((nx + 50))+$((ny + 6))" +repage \
        -format %c histogram:info:- | sort -rn | sed -n 1p | grep -o '#[0-9A-Fa-f]\{6\}' | tr -d '#' | tr a-f A-F)"
    cp "$E2E_TMP/blink.png" "$E2E_TMP/blink-$colour.png"
    echo "$colour"
}
title_shows() { [[ "$(title_colour)" == "$1" ]]; }
e2e_wait_for 5 title_shows "$green" && e2e_wait_for 5 title_shows "$white" && e2e_wait_for 5 title_shows "$green" ||
    e2e_fail "the title bar did not swap its colours: it shows $(title_colour)"

# The recording holds half a second of sound (its silent ends cut off), enough to tell the tone
# by, once the server has passed it on; whole 16-bit samples only, as it is still being written.
tone_recorded() {
    head -c $(($(stat -c %s "$raw") / 2 * 2)) "$raw" >"$E2E_TMP/sofar.raw"
    sox -t raw -r 44100 -e signed -b 16 -c 1 "$E2E_TMP/sofar.raw" "$E2E_TMP/sound.wav" \
        silence 1 0.01 1% reverse silence 1 0.01 1% reverse
    awk '/Length \(seconds\)/ { exit !($3 >= 0.5) }' < <(sox "$E2E_TMP/sound.wav" -n stat 2>&1)
}
e2e_wait_for 15 tone_recorded || e2e_fail "no tone was recorded"
kill -INT "$rec_pid"
wait "$rec_pid" 2>/dev/null || true
sox -t raw -r 44100 -e signed -b 16 -c 1 "$raw" "$rec"
stats="$(sox "$rec" -n stat 2>&1)" || e2e_fail "the recording cannot be read: $stats"
rms="$(awk '/RMS +amplitude/ {print $3}' <<<"$stats")"
length="$(awk '/Length \(seconds\)/ {print $3}' <<<"$stats")"
e2e_log "recorded ${length} s, RMS amplitude ${rms}"
awk -v r="$rms" 'BEGIN { exit !(r > 0.01) }' || e2e_fail "the recording is silent (RMS $rms)"
# Which sound: the tone's pitch, measured on the recording without its silent ends.
tone_recorded || e2e_fail "the tone is gone from the whole recording"
sound_stats="$(sox "$E2E_TMP/sound.wav" -n stat 2>&1)"
pitch="$(awk '/Rough +frequency/ {print $3}' <<<"$sound_stats")"
e2e_log "the sound lasts $(awk '/Length \(seconds\)/ {print $3}' <<<"$sound_stats") s at about ${pitch} Hz"
((pitch > 380 && pitch < 500)) || e2e_fail "not the note's own sound (bell.wav, 440 Hz) but ${pitch} Hz"

if [[ -n "${E2E_ARTIFACTS:-}" ]]; then
    mkdir -p "$E2E_ARTIFACTS"
    cp "$rec" "$E2E_TMP/blink-$green.png" "$E2E_TMP/blink-$white.png" "$E2E_ARTIFACTS/"
    convert "$E2E_TMP/blink-$green.png" -crop "${nw}x${nh}+${nx}+${ny}" +repage "$E2E_ARTIFACTS/note-a.png"
    convert "$E2E_TMP/blink-$white.png" -crop "${nw}x${nh}+${nx}+${ny}" +repage "$E2E_ARTIFACTS/note-b.png"
fi

kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end 20
# Ringing changed nothing in the note's alarm, nor its stored sound.
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" isalram)" == 1 ]] || e2e_fail "the alarm was switched off"
[[ "$(e2e_ini_value "$E2E_DATA/$id.ini" sound_file)" == 'C:\Program Files\Orbindo\Stikko\.\sound\Bell.WAV' ]] ||
    e2e_fail "the stored sound path changed: $(e2e_ini_value "$E2E_DATA/$id.ini" sound_file)"
e2e_log "ok"
