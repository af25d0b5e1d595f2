#pragma once
// Fixed sizes of the note window that several of its parts share.

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

} // namespace stikko::notelayout
