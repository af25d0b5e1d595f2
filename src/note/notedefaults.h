#pragma once
// The defaults a note window reads (the data module's record when it exists, else the store's
// fallback record), the two title-bar links they name, and what every note's body starts from:
// its font and, in a new note, the date line.

#include "store/subfunction.h"

#include <QDateTime>
#include <QFont>
#include <QString>

namespace stikko {

const NoteRecord& noteDefaults();

// The maker's home page, opened by the title bar's left picture and the tray's home-page
// command when the defaults name no address of their own.
inline constexpr char kMakerHomePage[] = "https://stikko.app";
// A link field of fewer bytes holds no address (a leftover such as "http").
inline constexpr qsizetype kMinAddressLength = 5;
// A picture field of fewer bytes names no picture (not even "a.bmp").
inline constexpr qsizetype kMinPictureNameLength = 6;

// The home-page address: the defaults' left link, else the maker's home page.
QString homePageAddress();
// The defaults' right link; empty when they give none.
QString rightLinkAddress();

// The font of a note's body text.
QFont noteFont();
// The first line of a new note's body: "작성일:" and the moment, with a two-digit year, month
// and day, the Korean before/after-noon word, then the time.
QString newNoteDateLine(const QDateTime& moment);

} // namespace stikko
