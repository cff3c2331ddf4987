#pragma once
// Colours as the system keeps them: 32-bit values 0x00BBGGRR, where a value
// with the top bit set (0x80000000 + n) names system colour n.
//   resolveColor(c)   the plain 0x00BBGGRR value (system colours resolved)
//   toQColor(c)       the QColor to paint with (red and blue change places)
//   fromQColor(q)     back to 0x00BBGGRR
#include <QColor>
#include <cstdint>

namespace talvor::platform {

inline constexpr std::uint32_t kSystemColorFlag = 0x80000000u;
inline constexpr std::uint32_t kSystemButtonFace = kSystemColorFlag + 15;

// System colour n as 0x00BBGGRR; an unknown index gives the button face.
std::uint32_t systemColor(std::uint32_t index);
std::uint32_t resolveColor(std::uint32_t color);
QColor toQColor(std::uint32_t color);
std::uint32_t fromQColor(const QColor& color);

}  // namespace talvor::platform
