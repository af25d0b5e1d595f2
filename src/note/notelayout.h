#pragma once
// Fixed sizes of the note window that several of its parts share, and where a note may show.

#include <QList>
#include <QPoint>
#include <QRect>

namespace stikko::notelayout {

// The client area at design; also the size a note falls back to when its record gives none.
inline constexpr int kDesignWidth = 275;
inline constexpr int kDesignHeight = 218;
// Resizing never leaves a note smaller than this (enforced on the move after the one that
// went below).
inline constexpr int kMinWidth = 270;
inline constexpr int kMinHeight = 60;
// A folded note shows only its title bar.
inline constexpr int kFoldedHeight = 20;
// A move is taken only while the pointer stays this far inside the work area.
inline constexpr int kEdgeMargin = 2;

// The title bar (with the window's border) is the handle a note is moved by: at least this
// much of it must lie on one screen's available area for the mouse to reach it.
inline constexpr int kTitleBarHeight = 18;
inline constexpr int kReachableWidth = 40;
inline constexpr int kReachableHeight = 8;

// Where a note with the outer rectangle `frame` is shown: at its own place while its title
// bar is within reach on one of `areas` (the screens' available areas); otherwise inside the
// nearest area (as much of the note as fits, its top-left corner first).
QPoint placeWithinReach(const QRect& frame, const QList<QRect>& areas);

} // namespace stikko::notelayout
