#pragma once

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <variant>
#include <vector>

namespace tessapak::graphics {

// Raster operations of BitBlt that the button uses.
constexpr std::uint32_t SRCAND = 0x8800C6;    // destination AND source
constexpr std::uint32_t SRCPAINT = 0xEE0086;  // destination OR source

// The surface's scale unit, with the form runtime's own numbers for them.
enum class ScaleUnit : std::int32_t { Twips = 1, Pixels = 3 };

constexpr int kTwipsPerPixel = 15;

// The control's drawing surface: an opaque image of the widget's size that the
// widget shows, with the form runtime's drawing state (colours, font, unit, current
// position). Colours are 0x00BBGGRR throughout.
//
// Coordinates of PSet, Line and the current position are in the current scale
// unit, as the form runtime's drawing methods are; RoundRect and BitBlt are device
// calls and always take pixels.
class Surface {
  public:
    Surface();
    Surface(int width, int height);

    // Keeps nothing of the old picture: the new image is cleared to the back colour.
    void resize(int width, int height);
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

    std::uint32_t backColor() const { return backColor_; }
    void setBackColor(std::uint32_t colour) { backColor_ = colour; }
    // Clears to the back colour and puts the current position back at (0, 0).
    void Cls();

    std::uint32_t foreColor() const { return foreColor_; }
    void setForeColor(std::uint32_t colour) { foreColor_ = colour; }

    // "Tahoma" 8.25 pt, normal; Tahoma is rarely installed outside Windows, so
    // the font lists fallbacks that also carry Chinese glyphs.
    static QFont defaultFont();
    const QFont& font() const { return font_; }
    void setFont(const QFont& font) { font_ = font; }

    ScaleUnit scaleUnit() const { return unit_; }
    void setScaleUnit(ScaleUnit unit);
    // Inner size in the current unit.
    double ScaleWidth() const;
    double ScaleHeight() const;

    double CurrentX() const { return currentX_; }
    double CurrentY() const { return currentY_; }
    void setCurrentX(double x) { currentX_ = x; }
    void setCurrentY(double y) { currentY_ = y; }

    // Size of the text in the current font, in the current unit; one line high.
    double TextWidth(const QString& text) const;
    double TextHeight(const QString& text) const;

    // Draws the text with its top-left corner at the current position, in the
    // current font and foreground colour, without a background and without
    // wrapping; then moves to the start of the next line, as the form runtime does.
    void Print(const QString& text);

    void PSet(int x, int y, std::uint32_t colour);
    // One-pixel solid line that covers its start and stops one short of its end.
    void Line(int x1, int y1, int x2, int y2, std::uint32_t colour);

    // GDI's RoundRect with a one-pixel pen in the foreground colour and no
    // fill: right and bottom are excluded, so the straight sides of
    // (0, 0, W - 1, H - 1) lie on column 0, row 0, column W - 2 and row H - 2.
    void RoundRect(int left, int top, int right, int bottom, int w, int h);

    // Combines w x h pixels of src at (srcX, srcY) into the surface at (destX,
    // destY) with SRCAND or SRCPAINT, clipped to both images. Other raster
    // operations draw nothing and return false.
    bool BitBlt(int destX, int destY, int w, int h, const QImage& src, int srcX, int srcY,
                std::uint32_t rop);

    // Conversions between the current unit and pixels (nearest, ties to even).
    int toPixels(double value) const;
    double fromPixels(int pixels) const;

    // The screen's device pixels per pixel. Above 1 the surface also keeps
    // what it needs for devicePicture: the picture as it stood before the
    // first text or blit, and the texts and blits since. Cls, resize and a
    // new ratio start afresh; at 1 nothing is kept and nothing changes.
    void setDevicePixelRatio(double ratio);
    double devicePixelRatio() const { return deviceRatio_; }
    // The picture for the screen: each pixel drawn before the first text or
    // blit becomes a block of whole device pixels, so outlines and dots stay
    // hard, and the texts and blits are drawn over it at the device's
    // resolution. At a ratio of 1, the image itself.
    QImage devicePicture() const;

  private:
    double toPixelsExact(double value) const;
    double fromPixelsExact(double pixels) const;
    // Keeps the picture as it is before the first text or blit lands on it.
    void beginOverlay();

    struct TextRun {
        QPoint baseline;  // pixels
        QFont font;
        std::uint32_t colour;
        QString text;
    };
    struct Blit {
        int destX;
        int destY;
        int w;
        int h;
        QImage source;
        int srcX;
        int srcY;
        std::uint32_t rop;
    };
    using Overlay = std::variant<TextRun, Blit>;

    static void applyBlit(QImage& target, const QSize& surfaceSize, double ratio, const Blit& blit);

    QImage image_;
    std::uint32_t backColor_;
    std::uint32_t foreColor_ = 0;
    QFont font_;
    ScaleUnit unit_ = ScaleUnit::Pixels;
    double currentX_ = 0;
    double currentY_ = 0;
    double deviceRatio_ = 1;
    QImage design_;
    std::vector<Overlay> overlays_;
};

// Switches the surface to a unit for a scope and always switches it back,
// because every other drawing routine relies on the pixel unit.
class ScaleUnitGuard {
  public:
    ScaleUnitGuard(Surface& surface, ScaleUnit unit, ScaleUnit restoreTo = ScaleUnit::Pixels)
        : surface_(surface), restoreTo_(restoreTo) {
        surface_.setScaleUnit(unit);
    }
    ~ScaleUnitGuard() { surface_.setScaleUnit(restoreTo_); }
    ScaleUnitGuard(const ScaleUnitGuard&) = delete;
    ScaleUnitGuard& operator=(const ScaleUnitGuard&) = delete;

  private:
    Surface& surface_;
    ScaleUnit restoreTo_;
};

}  // namespace tessapak::graphics
