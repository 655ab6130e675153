#include "app/browser/picture_decode.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace tessapak::app::browser {

namespace {

bool hasTransparentPixel(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return false;
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(line[x]) != 255) {
                return true;
            }
        }
    }
    return false;
}

// The size a header claims, read by hand where Qt's reader refuses huge
// values as damage: such a picture must read as too large, not broken.
QSize claimedSize(const QByteArray& bytes, const QByteArray& format) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (format == "png" && bytes.size() >= 24) {
        return {qFromBigEndian<qint32>(data + 16), qFromBigEndian<qint32>(data + 20)};
    }
    if (format == "gif" && bytes.size() >= 10) {
        return {qFromLittleEndian<quint16>(data + 6), qFromLittleEndian<quint16>(data + 8)};
    }
    if (format == "bmp" && bytes.size() >= 26) {
        // A negative height stores the rows top first.
        return {qFromLittleEndian<qint32>(data + 18), qAbs(qFromLittleEndian<qint32>(data + 22))};
    }
    return {};
}

bool tooLarge(QSize size) {
    return size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
           qint64{size.width()} * size.height() > kMaxPicturePixels;
}

}  // namespace

QByteArray pictureFormatOf(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG\r\n\x1a\n")) {
        return "png";
    }
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a")) {
        return "gif";
    }
    if (bytes.startsWith("BM")) {
        return "bmp";
    }
    if (bytes.startsWith("\xff\xd8\xff")) {
        return "jpeg";
    }
    if (bytes.startsWith(QByteArray("\0\0\1\0", 4))) {
        return "ico";
    }
    return {};
}

Picture decodePicture(const QByteArray& bytes, QSize fitInto) {
    Picture picture;
    picture.format = pictureFormatOf(bytes);
    if (picture.format.isEmpty()) {
        return picture;
    }
    if (const QSize claimed = claimedSize(bytes, picture.format); tooLarge(claimed)) {
        picture.size = claimed;
        picture.outcome = PictureOutcome::TooLarge;
        return picture;
    }
    QByteArray data = bytes;  // shared, not copied
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, picture.format);
    reader.setDecideFormatFromContent(false);
    // Qt's own allocation limit (256 MiB unless changed) stays behind this
    // check, for decoders that allocate past what the header said.
    picture.size = reader.size();
    if (!picture.size.isValid()) {
        picture.outcome = PictureOutcome::Damaged;
        return picture;
    }
    if (tooLarge(picture.size)) {
        picture.outcome = PictureOutcome::TooLarge;
        return picture;
    }
    picture.animated = reader.supportsAnimation() && reader.imageCount() > 1;
    const bool scaled = fitInto.isValid() && (picture.size.width() > fitInto.width() ||
                                              picture.size.height() > fitInto.height());
    if (scaled && picture.format == "jpeg") {
        // JPEG can skip detail while decoding.
        reader.setScaledSize(picture.size.scaled(fitInto, Qt::KeepAspectRatio));
    }
    if (!reader.read(&picture.image) || picture.image.isNull()) {
        picture.outcome = PictureOutcome::Damaged;
        return picture;
    }
    if (scaled &&
        (picture.image.width() > fitInto.width() || picture.image.height() > fitInto.height())) {
        picture.image =
            picture.image.scaled(fitInto, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    if (!fitInto.isValid()) {
        picture.transparent = hasTransparentPixel(picture.image);
    }
    picture.outcome = PictureOutcome::Shown;
    return picture;
}

}  // namespace tessapak::app::browser
