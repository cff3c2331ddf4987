#pragma once
// Conversions between pixel surfaces (0x00BBGGRR) and QImage (0xAARRGGBB):
// red and blue change places, the top byte of a surface pixel is dropped and
// an image's alpha is dropped.  Any QImage format is accepted by fromQImage.
// Use:  painter.drawImage(rect(), toQImage(surface));
#include <QImage>

#include "platform/Surface.h"

namespace talvor::platform {

QImage toQImage(const PixelSurface& surface);  // Format_RGB32
PixelSurface fromQImage(const QImage& image);

}  // namespace talvor::platform
