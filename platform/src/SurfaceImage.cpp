#include "platform/SurfaceImage.h"

namespace talvor::platform {

QImage toQImage(const PixelSurface& surface)
{
    QImage image(surface.width(), surface.height(), QImage::Format_RGB32);
    for (int y = 0; y < surface.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const Color* row = surface.data() + std::size_t(y) * std::size_t(surface.width());
        for (int x = 0; x < surface.width(); ++x) {
            const Color c = row[x];
            line[x] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
        }
    }
    return image;
}

PixelSurface fromQImage(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage rgb32 = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                             ? image
                             : image.convertToFormat(QImage::Format_ARGB32);
    PixelSurface surface(rgb32.width(), rgb32.height(), 0);
    Color* out = surface.data();
    for (int y = 0; y < rgb32.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb32.constScanLine(y));
        for (int x = 0; x < rgb32.width(); ++x)
            *out++ = rgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x]));
    }
    return surface;
}

}  // namespace talvor::platform
