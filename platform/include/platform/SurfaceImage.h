#pragma once
// Conversions between pixel surfaces (0x00BBGGRR) and QImage (0xAARRGGBB).
#include <QImage>

#include "platform/Surface.h"

namespace talvor::platform {

QImage toQImage(const PixelSurface& surface);  // Format_RGB32
PixelSurface fromQImage(const QImage& image);

}  // namespace talvor::platform
