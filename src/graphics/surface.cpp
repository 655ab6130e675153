#include "graphics/surface.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "graphics/color.h"
#include "graphics/region.h"

namespace tessapak::graphics {

namespace {

// 96 dots per inch, so that 8.25 pt is 11 pixels and a pixel is 15 twips
// whatever the screen reports.
constexpr int kDotsPerMeter = 3780;

// The window's own pixels are opaque; raster operations work on the colour bytes.
constexpr QRgb kOpaque = 0xFF000000u;

QImage opaqueImage(int width, int height) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMeter);
    image.setDotsPerMeterY(kDotsPerMeter);
    return image;
}

// The first device pixel of the block that stands for pixel x.
int blockEdge(long long x, double ratio) {
    return static_cast<int>(std::lround(static_cast<double>(x) * ratio));
}

int roundToInt(double value) {
    // Nearest, ties to even, like the form runtime's conversions; kept inside int so
    // an absurd coordinate cannot overflow.
    const double r = std::nearbyint(value);
    if (!(r > std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    if (!(r < std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(r);
}

}  // namespace

Surface::Surface() : Surface(0, 0) {}

Surface::Surface(int width, int height) : backColor_(hexColor(0xECE9D8)), font_(defaultFont()) {
    resize(width, height);
}

void Surface::resize(int width, int height) {
    image_ = opaqueImage(width, height);
    Cls();
}

void Surface::Cls() {
    if (!image_.isNull()) {
        image_.fill(toRgb(backColor_));
    }
    currentX_ = 0;
    currentY_ = 0;
    design_ = QImage();
    overlays_.clear();
}

QFont Surface::defaultFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

void Surface::setScaleUnit(ScaleUnit unit) {
    // The current position keeps its place on the surface across a switch.
    const double x = toPixelsExact(currentX_);
    const double y = toPixelsExact(currentY_);
    unit_ = unit;
    currentX_ = fromPixelsExact(x);
    currentY_ = fromPixelsExact(y);
}

double Surface::ScaleWidth() const {
    return fromPixels(width());
}
double Surface::ScaleHeight() const {
    return fromPixels(height());
}

double Surface::TextWidth(const QString& text) const {
    const QFontMetrics metrics(font_, &image_);
    return fromPixels(metrics.horizontalAdvance(text));
}

double Surface::TextHeight(const QString& text) const {
    Q_UNUSED(text);
    const QFontMetrics metrics(font_, &image_);
    return fromPixels(metrics.height());
}

void Surface::Print(const QString& text) {
    if (!image_.isNull() && !text.isEmpty()) {
        const QFontMetrics metrics(font_, &image_);
        const QPoint baseline(toPixels(currentX_), toPixels(currentY_) + metrics.ascent());
        if (deviceRatio_ != 1) {
            beginOverlay();
            overlays_.emplace_back(TextRun{baseline, font_, foreColor_, text});
        }
        QPainter painter(&image_);
        painter.setFont(font_);
        painter.setPen(toQColor(foreColor_));
        painter.drawText(baseline, text);
    }
    currentX_ = 0;
    currentY_ += TextHeight(text);
}

void Surface::PSet(int x, int y, std::uint32_t colour) {
    const int px = toPixels(x);
    const int py = toPixels(y);
    if (image_.valid(px, py)) {
        reinterpret_cast<QRgb*>(image_.scanLine(py))[px] = toRgb(colour);
    }
}

void Surface::Line(int x1, int y1, int x2, int y2, std::uint32_t colour) {
    // Bresenham by hand: QPainter's cosmetic pen includes the end point, and
    // the button's ring is laid out for lines that stop one short of it.
    int x = toPixels(x1);
    int y = toPixels(y1);
    const int ex = toPixels(x2);
    const int ey = toPixels(y2);
    const long long dx = std::llabs(static_cast<long long>(ex) - x);
    const long long dy = -std::llabs(static_cast<long long>(ey) - y);
    const int sx = x < ex ? 1 : -1;
    const int sy = y < ey ? 1 : -1;
    long long err = dx + dy;
    const QRgb rgb = toRgb(colour);
    while (x != ex || y != ey) {
        if (image_.valid(x, y)) {
            reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = rgb;
        }
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void Surface::RoundRect(int left, int top, int right, int bottom, int w, int h) {
    // The outline is the rim of the same shape the window region is made of;
    // QPainter's rounded rectangles are antialiased and place their corners
    // differently, which would leave outline pixels outside the region.
    // The region of roundRectRegion(0, 0, W, H) is exactly this shape for
    // RoundRect(0, 0, W - 1, H - 1), so the outline is the region's own rim.
    std::vector<RowSpan> rows = roundRectSpans(left, top, right, bottom, w, h);
    std::erase_if(rows, [](const RowSpan& span) { return span.x1 <= span.x0; });
    if (rows.empty() || image_.isNull()) {
        return;
    }
    // A pixel is on the rim when a 4-neighbour lies outside the shape.
    auto inside = [&rows](std::size_t row, int y, int x) {
        return rows[row].y == y && x >= rows[row].x0 && x < rows[row].x1;
    };
    const QRgb rgb = toRgb(foreColor_);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RowSpan& span = rows[i];
        if (span.y < 0 || span.y >= image_.height()) {
            continue;
        }
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(span.y));
        const bool firstRow = i == 0;
        const bool lastRow = i + 1 == rows.size();
        const int x0 = std::max(span.x0, 0);
        const int x1 = std::min(span.x1, image_.width());
        for (int x = x0; x < x1; ++x) {
            const bool rim = x == span.x0 || x + 1 == span.x1 || firstRow || lastRow ||
                             !inside(i - 1, span.y - 1, x) || !inside(i + 1, span.y + 1, x);
            if (rim) {
                line[x] = rgb;
            }
        }
    }
}

bool Surface::BitBlt(int destX, int destY, int w, int h, const QImage& src, int srcX, int srcY,
                     std::uint32_t rop) {
    if (rop != SRCAND && rop != SRCPAINT) {
        return false;
    }
    if (image_.isNull() || src.isNull() || w <= 0 || h <= 0) {
        return true;
    }
    const QImage source =
        src.format() == QImage::Format_RGB32 || src.format() == QImage::Format_ARGB32
            ? src
            : src.convertToFormat(QImage::Format_RGB32);
    const Blit blit{destX, destY, w, h, source, srcX, srcY, rop};
    if (deviceRatio_ != 1) {
        beginOverlay();
        overlays_.emplace_back(blit);
    }
    applyBlit(image_, image_.size(), 1, blit);
    return true;
}

// Each source pixel lands on the block of target pixels that stands for its
// surface pixel: the pixel itself at ratio 1.
void Surface::applyBlit(QImage& target, const QSize& surfaceSize, double ratio, const Blit& blit) {
    const QImage& source = blit.source;
    // Clip in 64 bits: the rectangle must lie within the surface and the source.
    const long long x0 = std::max(
        {0LL, static_cast<long long>(blit.destX), static_cast<long long>(blit.destX) - blit.srcX});
    const long long y0 = std::max(
        {0LL, static_cast<long long>(blit.destY), static_cast<long long>(blit.destY) - blit.srcY});
    const long long x1 = std::min(
        {static_cast<long long>(surfaceSize.width()), static_cast<long long>(blit.destX) + blit.w,
         static_cast<long long>(blit.destX) - blit.srcX + source.width()});
    const long long y1 = std::min(
        {static_cast<long long>(surfaceSize.height()), static_cast<long long>(blit.destY) + blit.h,
         static_cast<long long>(blit.destY) - blit.srcY + source.height()});
    for (long long y = y0; y < y1; ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(
            source.constScanLine(static_cast<int>(y - blit.destY + blit.srcY)));
        for (int ty = blockEdge(y, ratio); ty < blockEdge(y + 1, ratio); ++ty) {
            auto* d = reinterpret_cast<QRgb*>(target.scanLine(ty));
            for (long long x = x0; x < x1; ++x) {
                const QRgb sp = s[x - blit.destX + blit.srcX];
                for (int tx = blockEdge(x, ratio); tx < blockEdge(x + 1, ratio); ++tx) {
                    d[tx] = blit.rop == SRCAND ? (d[tx] & sp) | kOpaque : d[tx] | sp | kOpaque;
                }
            }
        }
    }
}

void Surface::setDevicePixelRatio(double ratio) {
    deviceRatio_ = ratio > 0 ? ratio : 1;
    design_ = QImage();
    overlays_.clear();
}

void Surface::beginOverlay() {
    if (overlays_.empty()) {
        design_ = image_;
    }
}

QImage Surface::devicePicture() const {
    if (deviceRatio_ == 1 || image_.isNull()) {
        return image_;
    }
    const QImage& design = overlays_.empty() ? image_ : design_;
    const QSize size = design.size();
    QImage picture(blockEdge(size.width(), deviceRatio_), blockEdge(size.height(), deviceRatio_),
                   QImage::Format_RGB32);
    picture.setDotsPerMeterX(kDotsPerMeter);
    picture.setDotsPerMeterY(kDotsPerMeter);
    picture.setDevicePixelRatio(deviceRatio_);
    for (int y = 0; y < size.height(); ++y) {
        const auto* s = reinterpret_cast<const QRgb*>(design.constScanLine(y));
        for (int ty = blockEdge(y, deviceRatio_); ty < blockEdge(y + 1, deviceRatio_); ++ty) {
            auto* d = reinterpret_cast<QRgb*>(picture.scanLine(ty));
            for (int x = 0; x < size.width(); ++x) {
                std::fill(d + blockEdge(x, deviceRatio_), d + blockEdge(x + 1, deviceRatio_), s[x]);
            }
        }
    }
    for (const Overlay& overlay : overlays_) {
        if (const auto* blit = std::get_if<Blit>(&overlay)) {
            applyBlit(picture, size, deviceRatio_, *blit);
            continue;
        }
        // Painted in pixels on a picture of finer device pixels, the text
        // gets the device's resolution.
        const TextRun& run = std::get<TextRun>(overlay);
        QPainter painter(&picture);
        painter.setFont(run.font);
        painter.setPen(toQColor(run.colour));
        painter.drawText(run.baseline, run.text);
    }
    return picture;
}

int Surface::toPixels(double value) const {
    return roundToInt(toPixelsExact(value));
}

double Surface::fromPixels(int pixels) const {
    return fromPixelsExact(pixels);
}

double Surface::toPixelsExact(double value) const {
    return unit_ == ScaleUnit::Twips ? value / kTwipsPerPixel : value;
}

double Surface::fromPixelsExact(double pixels) const {
    return unit_ == ScaleUnit::Twips ? pixels * kTwipsPerPixel : pixels;
}

}  // namespace tessapak::graphics
