#include "app/browser/picture_decode.h"

#include <QBuffer>
#include <QImageReader>

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
    if (picture.size.width() > kMaxPictureSide || picture.size.height() > kMaxPictureSide ||
        qint64{picture.size.width()} * picture.size.height() > kMaxPicturePixels) {
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
