// Pixel checks on images read back with Qt.
#pragma once

#include <QImage>

#include <cmath>
#include <cstddef>

namespace px {

inline bool Inked(QRgb c) { return qGray(c) < 160; }

// Whether any pixel within r pixels of (x, y) is inked.
inline bool InkedNear(const QImage& img, double x, double y, int r = 1)
{
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    for (int j = cy - r; j <= cy + r; ++j)
        for (int i = cx - r; i <= cx + r; ++i)
            if (i >= 0 && j >= 0 && i < img.width() && j < img.height() && Inked(img.pixel(i, j))) return true;
    return false;
}

inline std::size_t InkCount(const QImage& img)
{
    std::size_t n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += Inked(img.pixel(x, y));
    return n;
}

// Intersection over union of the inked pixels of two images of one size,
// each pixel's ink grown by `grow` pixels (antialiasing spreads ink
// differently in different renderers); 1 when neither has ink.
inline double InkIoU(const QImage& a, const QImage& b, int grow = 1)
{
    if (a.size() != b.size()) return 0;
    std::size_t both = 0, either = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool ia = Inked(a.pixel(x, y)), ib = Inked(b.pixel(x, y));
            if (!ia && !ib) continue;
            ++either;
            // ink in one counts as shared when the other has ink within `grow`
            if ((ia && ib) || (ia && InkedNear(b, x, y, grow)) || (ib && InkedNear(a, x, y, grow))) ++both;
        }
    return either ? static_cast<double>(both) / static_cast<double>(either) : 1.0;
}

}  // namespace px
