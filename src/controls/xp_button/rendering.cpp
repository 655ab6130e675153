#include "controls/xp_button/rendering.h"

#include <QApplication>
#include <QPalette>

#include "controls/xp_button/caption_icon.h"
#include "controls/xp_button/xp_button.h"
#include "graphics/gradient.h"
#include "graphics/region.h"

namespace tessapak::controls {

const ColorSet* colorSetFor(std::int32_t colorStyle) {
    if (colorStyle == xpBlue) {
        return &kXpBlueColors;
    }
    if (colorStyle == xpOlive) {
        return &kXpOliveColors;
    }
    if (colorStyle == xpSilver) {
        return &kXpSilverColors;
    }
    return nullptr;
}

std::uint32_t resolveSystemColor(std::uint32_t colour) {
    if ((colour & 0xFF000000u) != 0x80000000u) {
        return colour;
    }
    struct SystemColor {
        std::uint32_t index;
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
    };
    // The system colours a caption is likely to be given.
    static constexpr SystemColor kSystemColors[] = {
        {0x05, QPalette::Active, QPalette::Base},        // window
        {0x08, QPalette::Active, QPalette::WindowText},  // window text
        {0x0D, QPalette::Active, QPalette::Highlight},   // highlight
        {0x0E, QPalette::Active, QPalette::HighlightedText},
        {0x0F, QPalette::Active, QPalette::Button},       // button face
        {0x11, QPalette::Disabled, QPalette::Text},       // grey text
        {0x12, QPalette::Active, QPalette::ButtonText},   // button text
        {0x17, QPalette::Active, QPalette::ToolTipText},  // info text
        {0x18, QPalette::Active, QPalette::ToolTipBase},  // info background
    };
    const std::uint32_t index = colour & 0x00FFFFFFu;
    for (const SystemColor& system : kSystemColors) {
        if (system.index == index) {
            return graphics::fromQColor(QApplication::palette().color(system.group, system.role));
        }
    }
    return colour;
}

std::array<RingLine, 8> ringLines(int W, int H) {
    return {{
        {2, 1, W - 3, 1},          // L1: outer top
        {1, 2, 1, H - 3},          // L2: outer left
        {2, H - 3, W - 3, H - 3},  // L3: outer bottom
        {W - 3, 2, W - 3, H - 3},  // L4: outer right
        {2, 2, W - 3, 2},          // L5: inner top
        {2, 2, 2, H - 3},          // L6: inner left
        {2, H - 4, W - 3, H - 4},  // L7: inner bottom
        {W - 4, 2, W - 4, H - 3},  // L8: inner right
    }};
}

namespace {

void drawRing(graphics::Surface& surface, const RingColors& ring) {
    const auto lines = ringLines(surface.width(), surface.height());
    for (int i = 0; i < ring.count; ++i) {
        const RingLine& l = lines[static_cast<std::size_t>(i)];
        surface.Line(l.x1, l.y1, l.x2, l.y2, ring.line[static_cast<std::size_t>(i)]);
    }
}

}  // namespace

// Rebuilds the whole look from the record on every call: no region, gradient
// or measured text is kept between calls. One routine on purpose, longer
// than most: its numbered steps are the order in which the look is layered,
// and reading them in one place shows which state wins.
void XPButton::drawButton() {
    ++drawButtonCalls_;
    // The surface is the widget's size; a geometry set before the first show
    // has not reached resizeEvent yet.
    if (surface_.width() != width() || surface_.height() != height()) {
        surface_.resize(width(), height());
    }
    const int W = surface_.width();
    const int H = surface_.height();
    const std::int32_t R = record_.RoundedValue;

    // 1. The shape, for every ColorStyle.
    applyShape(graphics::roundRectRegion(0, 0, W, H, R, R));

    // 2. A painter of this call's own.
    graphics::Gradient gradient;

    // 3. The colour set.
    const ColorSet* const colors = colorSetFor(record_.ColorStyle);
    if (colors == nullptr) {
        // 9. No face, outline, ring, icon or caption.
        if (record_.IsMouseOver && record_.FocusDottedRect) {
            drawDottedRect(surface_);
        }
    } else if (!record_.Enabled) {
        // 4. The disabled look, whatever the state flags say.
        gradient.setRect(0, 0, W, H);
        gradient.draw(surface_, kFaceDirection, kDisabledFace, kDisabledFace);
        surface_.setForeColor(kDisabledOutline);
        surface_.RoundRect(0, 0, W - 1, H - 1, R, R);
        paintIcon(surface_, record_, iconPicture_, maskPicture_, disabledPicture_);
        surface_.setForeColor(kDisabledCaption);
        printCaption(surface_, record_.Caption, record_.CaptionAlignment);
    } else {
        // 5. The normal face and outline.
        gradient.setRect(0, 0, W, H);
        gradient.draw(surface_, kFaceDirection, colors->faceTop, colors->faceBottom);
        surface_.setForeColor(colors->outline);
        surface_.RoundRect(0, 0, W - 1, H - 1, R, R);

        // 6. The first matching decoration only.
        if (record_.IsMouseOver && !record_.IsPressed) {
            drawRing(surface_, colors->hover);
        } else if (record_.HasFocus && !record_.IsPressed) {
            drawRing(surface_, colors->focus);
            if (record_.FocusDottedRect) {
                drawDottedRect(surface_);
            }
        } else if (record_.IsPressed) {
            gradient.setRect(0, 0, W, H);
            gradient.draw(surface_, kFaceDirection, colors->pressedTop, colors->pressedBottom);
            surface_.setForeColor(colors->outline);
            surface_.RoundRect(0, 0, W - 1, H - 1, R, R);
            drawRing(surface_, colors->pressed);
            if (record_.HasFocus && record_.FocusDottedRect) {
                drawDottedRect(surface_);
            }
        }

        // 7. and 8. Icon, then the caption over everything else.
        paintIcon(surface_, record_, iconPicture_, maskPicture_, disabledPicture_);
        surface_.setForeColor(resolveSystemColor(record_.ForeColor));
        printCaption(surface_, record_.Caption, record_.CaptionAlignment);
    }

    // Inside paintEvent the widget shows the surface right after; elsewhere
    // it has to be told.
    if (!inPaintEvent_) {
        update();
    }
}

}  // namespace tessapak::controls
