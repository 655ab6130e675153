#pragma once

#include <QString>
#include <cstdint>

#include "controls/xp_button/xp_button_record.h"
#include "graphics/surface.h"

namespace tessapak::controls {

// Distance of the icon from the left or right edge, pixels.
constexpr int kIconMargin = 5;
// Distance of a left- or right-aligned caption from the edge, and how far the
// caption sits above exact vertical centring, twips.
constexpr int kCaptionMarginTwips = 100;
constexpr int kCaptionLiftTwips = 20;
// Black on the mask becomes this on the greyed icon (#ACA899).
constexpr std::uint32_t kDisabledIconColor = 0x0099A8AC;
// The focus dots are black whatever ForeColor is.
constexpr std::uint32_t kDotColor = 0x00000000;

// Draws the icon left or right, centred vertically: the mask with SRCAND, then
// the icon with SRCPAINT. Disabled, it draws a greyed copy of the mask twice
// instead; disabledPicture gets its own copy, so the caller's mask never changes.
// Nothing is drawn unless both iconPicture and maskPicture hold a picture, nor for an
// IconAlignment other than icoLeft and icoRight.
void paintIcon(graphics::Surface& surface, const XPButtonRecord& record,
               const PictureBox& iconPicture, const PictureBox& maskPicture,
               PictureBox& disabledPicture);

// Prints the caption left, right or centred, a little above the middle, in the
// surface's current font and foreground colour. Measures and places in twips
// and always leaves the surface in pixels. Other alignments print nothing.
void printCaption(graphics::Surface& surface, QString text, std::int32_t alignment);

// Black dots on every second pixel of the inner ring (rows 2 and H - 4,
// columns 2 and W - 4); (2, 2) stays free.
void drawDottedRect(graphics::Surface& surface);

// Sets every pixel of the picture that is exactly `find` to `put` (0x00BBGGRR).
// An indexed picture is turned into a true-colour one first so that any colour
// can be put.
void replaceColor(PictureBox& picture, const std::uint32_t& find, const std::uint32_t& put);

}  // namespace tessapak::controls
