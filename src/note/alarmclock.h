#pragma once
// The arithmetic of a note's alarm: reading its moment and the interval between its sounds.

#include <QByteArrayView>
#include <QDateTime>
#include <cstdint>
#include <optional>

namespace stikko::alarmclock {

// Between due checks while the alarm waits, and between blinks while it rings.
inline constexpr int kCheckIntervalMs = 30000;
inline constexpr int kBlinkIntervalMs = 1000;

// The local moment that an alram_datetime text names: "yyyy-mm-dd hh:nn:ss" (one-digit
// fields, a missing seconds or time part and surrounding blanks are accepted too). Hour 24
// is midnight at the end of the day, as the settings dialog's hour field allows 24. Nothing
// when the text names no real moment.
std::optional<QDateTime> parseMoment(QByteArrayView text);

// Milliseconds between repeated sounds for alram_repeat minutes; 0 means no repeat (zero or
// negative minutes). Intervals longer than a timer can hold are cut to the longest it can.
int repeatIntervalMs(int32_t minutes);

} // namespace stikko::alarmclock
