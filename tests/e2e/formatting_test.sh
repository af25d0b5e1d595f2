#!/usr/bin/env bash
# A document written by LibreOffice as a note's body, on a real desktop: the note shows its
# picture; typed into and saved, the body keeps its Korean bold and 20 pt runs, its link, its
# numbered list and its picture, and LibreOffice reads the saved file with them. Set E2E_SHOTS to
# keep screenshots of the note before and after the save.
source "$(dirname "$0")/lib.sh"

e2e_start_desktop
e2e_require import convert soffice
mkdir -p "$E2E_DATA"
shot() { [[ -z "${E2E_SHOTS:-}" ]] || { mkdir -p "$E2E_SHOTS" && import -window "$2" "$E2E_SHOTS/$1.png"; }; }

# The document: HTML that LibreOffice writes as its own RTF (its own profile, away from the user's).
peer() { HOME="$E2E_TMP" soffice "-env:UserInstallation=file://$E2E_TMP/peer" --headless --norestore "$@" \
    >>"$E2E_TMP/peer.log" 2>&1 || e2e_fail "LibreOffice failed: $(cat "$E2E_TMP/peer.log")"; }
convert -size 40x30 xc:'#ff0000' -size 40x30 xc:'#0000ff' +append "$E2E_TMP/picture.png"
cat >"$E2E_TMP/made.html" <<'EOF'
<html><head><meta charset="utf-8"></head><body>
<p>메모 <b>굵게</b> 보통</p>
<p><span style="font-size:20pt">크게</span> small</p>
<p><a href="https://example.com/a?b=c">링크</a></p>
<ol><li>첫째</li><li>둘째</li></ol>
<p><img src="picture.png" width="80" height="30"></p>
</body></html>
EOF
peer --infilter="HTML (StarWriter)" --convert-to 'rtf:Rich Text Format' --outdir "$E2E_TMP/made" "$E2E_TMP/made.html"
ID=20261208_100000_00
cp "$E2E_TMP/made/made.rtf" "$E2E_DATA/$ID.rtf"
printf '[VALUE_SECTION]\ntitle=made\nisshow=1\nscr_x=100\nscr_y=100\nscr_width=300\nscr_height=280\n' >"$E2E_DATA/$ID.ini"

# Red and blue pixels of the picture in a window's image (the note draws nothing else so).
colour_count() { convert "$1" txt:- | grep -ci "$2"; }
picture_shown() {
    import -window "$1" "$E2E_TMP/note.png" &&
        (($(colour_count "$E2E_TMP/note.png" '#FF0000') >= 600 && $(colour_count "$E2E_TMP/note.png" '#0000FF') >= 600))
}

e2e_start_stikko
e2e_wait_notes 1
note="$(e2e_note_windows | sed -n 1p)"
e2e_wait_for 10 picture_shown "$note" || e2e_fail "the note does not show the document's picture"
shot formatting-before "$note"

# A change, so the body is saved: a word typed at the end.
e2e_click_body "$note"
e2e_keys "$note" ctrl+End
e2e_type "$note" " ok"
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end

saved="$E2E_DATA/$ID.rtf"
html="$("$RTF2TXT" --html "$saved")"
grep -q 'font-weight:700;">굵게' <<<"$html" || e2e_fail "the Korean bold run lost its bold: $html"
grep -q 'font-size:20pt;">크게' <<<"$html" || e2e_fail "the 20 pt Korean run lost its size: $html"
grep -q '<a href="https://example.com/a?b=c">' <<<"$html" || e2e_fail "the link lost its address: $html"
grep -q '<ol' <<<"$html" || e2e_fail "the numbered list is no list: $html"
grep -q '\\pngblip' "$saved" && grep -q '\\nonshppict{\\pict' "$saved" || e2e_fail "the picture was not saved"
grep -q 'ok' <<<"$("$RTF2TXT" "$saved")" || e2e_fail "the typed word was not saved"

# Opened again, the note shows the picture it saved.
e2e_start_stikko
e2e_wait_notes 1
note="$(e2e_note_windows | sed -n 1p)"
e2e_wait_for 10 picture_shown "$note" || e2e_fail "the saved note does not show its picture"
shot formatting-after "$note"
kill -TERM "$STIKKO_PID"
e2e_wait_stikko_end

# LibreOffice reads the saved file with its numbers and link.
peer --convert-to 'txt:Text (encoded):UTF8' --outdir "$E2E_TMP/back" "$saved"
text="$(cat "$E2E_TMP/back/$ID.txt")"
grep -q '1\. 첫째' <<<"$text" && grep -q '2\. 둘째' <<<"$text" || e2e_fail "LibreOffice lost the numbers: $text"
peer --convert-to 'html:HTML (StarWriter)' --outdir "$E2E_TMP/back" "$saved"
grep -q 'href="https://example.com/a?b=c"' "$E2E_TMP/back/$ID.html" || e2e_fail "LibreOffice lost the link"
e2e_log "ok"
