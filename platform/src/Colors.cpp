#include "platform/Colors.h"

#include <array>

namespace talvor::platform {

namespace {

constexpr std::uint32_t bgr(std::uint32_t rgb)
{
    return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

// The desktop's default system colours, indices 0..30, written as 0xRRGGBB.
constexpr std::array<std::uint32_t, 31> kSystemRgb = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0,
};

}  // namespace

std::uint32_t systemColor(std::uint32_t index)
{
    if (index >= kSystemRgb.size())
        index = 15;
    return bgr(kSystemRgb[index]);
}

std::uint32_t resolveColor(std::uint32_t color)
{
    if (color & kSystemColorFlag)
        return systemColor(color & ~kSystemColorFlag);
    return color & 0x00FFFFFFu;
}

QColor toQColor(std::uint32_t color)
{
    const std::uint32_t c = resolveColor(color);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

std::uint32_t fromQColor(const QColor& color)
{
    return std::uint32_t(color.red()) | (std::uint32_t(color.green()) << 8) |
           (std::uint32_t(color.blue()) << 16);
}

}  // namespace talvor::platform
