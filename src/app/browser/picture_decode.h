#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tessapak::app::browser {

// Pictures come from archives anyone may have made: a header may claim
// dimensions whose decoded image would not fit in memory. Nothing larger than
// this is decoded.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr qint64 kMaxPicturePixels = 50'000'000;

enum class PictureOutcome { Shown, NotAPicture, TooLarge, Damaged };

struct Picture {
    PictureOutcome outcome = PictureOutcome::NotAPicture;
    QImage image;
    QSize size;                // as the header says
    QByteArray format;         // "png", "gif", "bmp", "jpeg", "ico"
    bool animated = false;     // more than one frame
    bool transparent = false;  // some pixel is not fully opaque
};

// The format of a picture from its first bytes, only for the formats shown;
// empty for anything else. Sniffed here rather than by Qt's plugins, so that
// no other decoder ever sees an archive's bytes.
QByteArray pictureFormatOf(const QByteArray& bytes);

// Decodes from memory. With fitInto valid, the result is scaled down to fit
// it (for thumbnails); transparency is only looked for at full size.
Picture decodePicture(const QByteArray& bytes, QSize fitInto = {});

}  // namespace tessapak::app::browser
