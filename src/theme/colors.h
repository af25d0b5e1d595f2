#pragma once
// Colour values as the note files store them: 0x00BBGGRR (red in the low byte), or, with the
// high byte 0x80, a system colour named by its index in the low byte. System colours resolve
// through one fixed table of palette roles.

#include <QColor>
#include <cstdint>

namespace stikko::colors {

// System colour indexes the program uses.
inline constexpr int kButtonFace = 15;
inline constexpr int kHighlight = 13;
inline constexpr int kMenuText = 7;
inline constexpr int kButtonShadow = 16;
inline constexpr int kWindow = 5;
inline constexpr int kInactiveCaption = 3;
// The outer dark and inner light edges of raised frames.
inline constexpr int kHighlight3D = 20;
inline constexpr int kDarkShadow = 21;

// A system colour as a colour value (0x80000000 | index).
inline constexpr int32_t systemColorValue(int index) {
    return static_cast<int32_t>(0x80000000u | static_cast<uint32_t>(index & 0xFF));
}

inline constexpr bool isSystemColor(int32_t value) {
    return (static_cast<uint32_t>(value) & 0xFF000000u) == 0x80000000u;
}

// A colour value as a QColor (system colours resolved).
QColor toQColor(int32_t value);
// A QColor as a plain 0x00BBGGRR value.
int32_t fromQColor(const QColor& color);
// The plain RGB value of a colour value (system colours resolved).
int32_t resolve(int32_t value);

} // namespace stikko::colors
