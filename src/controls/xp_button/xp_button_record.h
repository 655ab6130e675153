#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>

namespace tessapak::controls {

// Pictures are shared by reference with whoever assigned them, like the
// form runtime's picture objects: reading Icon gives back the very object assigned.
using Picture = std::shared_ptr<QImage>;

enum CaptionAlignmentValue : std::int32_t { capLeft = 0, capRight = 1, capCenter = 2 };
enum IconAlignmentValue : std::int32_t { icoLeft = 1, icoRight = 2 };
enum ColorStyleValue : std::int32_t { xpBlue = 1, xpSilver = 2, xpOlive = 3 };

// One of the control's hidden picture holders (iconPicture, maskPicture, disabledPicture).
// It holds a picture when picture is set and not null.
struct PictureBox {
    Picture picture;
    bool holdsPicture() const { return picture && !picture->isNull(); }
};

struct PointApi {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

// The instance record, zero, empty or false until the first assignment.
struct XPButtonRecord {
    QString Caption;
    std::uint32_t ForeColor = 0;  // 0x00BBGGRR
    std::int32_t ColorStyle = 0;
    std::int32_t CaptionAlignment = 0;
    std::int32_t IconAlignment = 0;
    PointApi CursorPos;
    bool IsPressed = false;
    bool IsMouseOver = false;
    bool HasFocus = false;
    bool FocusDottedRect = false;
    bool Enabled = false;
    std::int32_t RoundedValue = 0;
    Picture Icon;
    Picture IconMask;
};

}  // namespace tessapak::controls
