#include "controls/xp_button/caption_icon.h"

#include <cmath>
#include <memory>

#include "graphics/color.h"

namespace tessapak::controls {

using graphics::ScaleUnit;
using graphics::ScaleUnitGuard;
using graphics::Surface;

namespace {

// Positions computed as real numbers land on the nearest whole unit, ties to
// even, as the form runtime rounds them.
double roundHalfEven(double value) {
    return std::nearbyint(value);
}

// The icon's column for the alignment, or false when the alignment draws no icon.
bool iconColumn(std::int32_t alignment, int surfaceWidth, int pictureWidth, int& x) {
    switch (alignment) {
        case icoLeft:
            x = kIconMargin;
            return true;
        case icoRight:
            x = static_cast<int>(roundHalfEven(surfaceWidth - pictureWidth)) - kIconMargin;
            return true;
        default:
            return false;
    }
}

}  // namespace

void paintIcon(Surface& surface, const XPButtonRecord& record, const PictureBox& iconPicture,
               const PictureBox& maskPicture, PictureBox& disabledPicture) {
    if (!maskPicture.holdsPicture() || !iconPicture.holdsPicture()) {
        return;
    }
    const QImage& icon = *iconPicture.picture;
    const QImage& mask = *maskPicture.picture;
    const int y = static_cast<int>(roundHalfEven(surface.height() / 2.0 - icon.height() / 2.0));
    int x = 0;
    if (record.Enabled) {
        if (!iconColumn(record.IconAlignment, surface.width(), icon.width(), x)) {
            return;
        }
        surface.BitBlt(x, y, mask.width(), mask.height(), mask, 0, 0, graphics::SRCAND);
        surface.BitBlt(x, y, icon.width(), icon.height(), icon, 0, 0, graphics::SRCPAINT);
        return;
    }
    // A copy of its own: recolouring must not reach the mask the caller shares
    // with maskPicture (the pixels are copied on the first write).
    disabledPicture.picture = std::make_shared<QImage>(mask);
    replaceColor(disabledPicture, 0x000000, kDisabledIconColor);
    const QImage& grey = *disabledPicture.picture;
    if (!iconColumn(record.IconAlignment, surface.width(), grey.width(), x)) {
        return;
    }
    // AND then OR of the same picture leaves exactly the picture in its box.
    surface.BitBlt(x, y, grey.width(), grey.height(), grey, 0, 0, graphics::SRCAND);
    surface.BitBlt(x, y, grey.width(), grey.height(), grey, 0, 0, graphics::SRCPAINT);
}

void printCaption(Surface& surface, QString text, std::int32_t alignment) {
    // Pixels come back however this ends: every later drawing call relies on them.
    const ScaleUnitGuard twips(surface, ScaleUnit::Twips, ScaleUnit::Pixels);
    const double wt = surface.ScaleWidth();
    const double ht = surface.ScaleHeight();
    const double tw = surface.TextWidth(text);
    const double th = surface.TextHeight(text);
    double x = 0;
    switch (alignment) {
        case capCenter:
            x = roundHalfEven(wt / 2 - tw / 2);
            break;
        case capLeft:
            x = kCaptionMarginTwips;
            break;
        case capRight:
            x = roundHalfEven(wt - tw - kCaptionMarginTwips);
            break;
        default:
            return;
    }
    const double y = roundHalfEven(ht / 2 - (th / 2 + kCaptionLiftTwips));
    surface.setCurrentX(x);
    surface.setCurrentY(y);
    surface.Print(text);
}

void drawDottedRect(Surface& surface) {
    // Each bound is fixed before its loop, in pixels.
    const int w = surface.width();
    const int h = surface.height();
    const int lastX = w - 5;
    const int lastY = h - 4;
    for (int x = 3; x <= lastX; x += 2) {
        surface.PSet(x, 2, kDotColor);
    }
    for (int y = 4; y <= lastY; y += 2) {
        surface.PSet(2, y, kDotColor);
    }
    for (int x = 3; x <= lastX; x += 2) {
        surface.PSet(x, h - 4, kDotColor);
    }
    for (int y = 4; y <= lastY; y += 2) {
        surface.PSet(w - 4, y, kDotColor);
    }
}

void replaceColor(PictureBox& picture, const std::uint32_t& find, const std::uint32_t& put) {
    if (!picture.holdsPicture()) {
        return;
    }
    QImage& image = *picture.picture;
    // Indexed pictures (1-bit masks especially) cannot take an arbitrary colour.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) {
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
    const QRgb putRgb = graphics::toRgb(put) & 0x00FFFFFFu;
    const int wp = image.width();
    const int hp = image.height();
    for (int x = 0; x < wp; ++x) {
        for (int y = 0; y < hp; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            if (graphics::fromRgb(line[x]) == find) {
                line[x] = (line[x] & 0xFF000000u) | putRgb;
            }
        }
    }
}

}  // namespace tessapak::controls
