#include "controls/xp_button/xp_button.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <cmath>
#include <limits>

#include "controls/xp_button/vb_input.h"
#include "platform/pointer.h"

namespace tessapak::controls {

namespace {

constexpr int kHoverPollMs = 50;

// The stored keys, in the order the bag is read and written.
const QString kKeyCaption = QStringLiteral("Caption");
const QString kKeyForeColor = QStringLiteral("ForeColor");
const QString kKeyColorStyle = QStringLiteral("ColorStyle");
const QString kKeyFocusDottedRect = QStringLiteral("FocusDottedRect");
const QString kKeyEnabled = QStringLiteral("Enabled");
const QString kKeyFontType = QStringLiteral("FontType");
const QString kKeyIcon = QStringLiteral("Icon");
const QString kKeyIconMask = QStringLiteral("IconMask");
const QString kKeyRoundedValue = QStringLiteral("RoundedValue");
const QString kKeyCaptionAlignment = QStringLiteral("CaptionAlignment");
const QString kKeyIconAlignment = QStringLiteral("IconAlignment");

constexpr std::uint32_t kDefaultForeColor = 0;
constexpr std::int32_t kDefaultColorStyle = xpBlue;
constexpr bool kDefaultFocusDottedRect = true;
constexpr bool kDefaultEnabled = true;
constexpr std::int32_t kDefaultRoundedValue = 5;
constexpr std::int32_t kDefaultCaptionAlignment = capCenter;
constexpr std::int32_t kDefaultIconAlignment = icoLeft;

[[noreturn]] void throwTypeMismatch(const QString& key, const QVariant& value) {
    throw PropertyTypeError(key, value);
}

// A whole number as the form runtime converts it: numbers and numeric text, rounded
// to the nearest (ties to even), in the range of the target.
std::int64_t toWhole(const QString& key, const QVariant& value, std::int64_t low,
                     std::int64_t high) {
    bool ok = false;
    double number = 0;
    switch (value.typeId()) {
        case QMetaType::Bool:
            // The form runtime's True is -1.
            return value.toBool() ? -1 : 0;
        case QMetaType::QString:
            number = value.toString().trimmed().toDouble(&ok);
            break;
        default:
            if (value.canConvert<double>()) {
                number = value.toDouble(&ok);
            }
            break;
    }
    if (!ok || !(number >= static_cast<double>(low) - 0.5) ||
        !(number <= static_cast<double>(high) + 0.5)) {
        throwTypeMismatch(key, value);
    }
    const auto whole = static_cast<std::int64_t>(std::nearbyint(number));
    if (whole < low || whole > high) {
        throwTypeMismatch(key, value);
    }
    return whole;
}

std::int32_t toInt32(const QString& key, const QVariant& value) {
    return static_cast<std::int32_t>(toWhole(key, value, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
}

// Colours are stored as the form runtime's signed 32-bit value or as the unsigned
// 0x00BBGGRR; both carry the same 32 bits.
std::uint32_t toColour(const QString& key, const QVariant& value) {
    return static_cast<std::uint32_t>(toWhole(key, value, std::numeric_limits<std::int32_t>::min(),
                                              std::numeric_limits<std::uint32_t>::max()));
}

bool toBoolean(const QString& key, const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) {
            return true;
        }
        if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return toWhole(key, value, std::numeric_limits<std::int64_t>::min() / 2,
                   std::numeric_limits<std::int64_t>::max() / 2) != 0;
}

QString toText(const QString& key, const QVariant& value) {
    if (value.typeId() == QMetaType::QString) {
        return value.toString();
    }
    if (!value.canConvert<QString>()) {
        throwTypeMismatch(key, value);
    }
    return value.toString();
}

// A font is either a font object or, in text-only stored data, the font's
// description as QFont::toString writes it.
QFont toFont(const QString& key, const QVariant& value) {
    if (value.typeId() == QMetaType::QFont) {
        return value.value<QFont>();
    }
    QFont font;
    if (value.typeId() != QMetaType::QString || !font.fromString(value.toString())) {
        throwTypeMismatch(key, value);
    }
    return font;
}

Picture toPicture(const QString& key, const QVariant& value) {
    if (!value.isValid() || value.isNull()) {
        return {};
    }
    if (value.metaType() == QMetaType::fromType<Picture>()) {
        return value.value<Picture>();
    }
    if (value.typeId() == QMetaType::QImage) {
        return std::make_shared<QImage>(value.value<QImage>());
    }
    if (value.typeId() == QMetaType::QByteArray) {
        auto image = std::make_shared<QImage>(QImage::fromData(value.toByteArray()));
        if (image->isNull()) {
            throwTypeMismatch(key, value);
        }
        return image;
    }
    throwTypeMismatch(key, value);
}

}  // namespace

XPButton::XPButton(QWidget* parent) : QWidget(parent), pointer_(&platform::qtPointer()) {
    // Tab order and focus on click come from the form runtime; Enabled never reaches
    // QWidget, so focus stays available while the control ignores input.
    setFocusPolicy(Qt::StrongFocus);
    // MouseMove is raised for every move over the control, not only while a
    // button is held.
    setMouseTracking(true);
    // The surface covers the whole widget, so Qt need not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);

    surface_.resize(width(), height());

    hoverTimer_.setInterval(kHoverPollMs);
    hoverTimer_.setSingleShot(false);
    connect(&hoverTimer_, &QTimer::timeout, this, &XPButton::pollPointer);
}

XPButton::~XPButton() {
    Terminate();
}

// --- Properties ----------------------------------------------------------

std::int32_t XPButton::CaptionAlignment() const {
    return record_.CaptionAlignment;
}

void XPButton::setCaptionAlignment(std::int32_t value) {
    record_.CaptionAlignment = value;
    emit PropertyChanged(kKeyCaptionAlignment);
    drawButton();
}

std::int32_t XPButton::IconAlignment() const {
    return record_.IconAlignment;
}

void XPButton::setIconAlignment(std::int32_t value) {
    record_.IconAlignment = value;
    emit PropertyChanged(kKeyIconAlignment);
    drawButton();
}

QString XPButton::Caption() const {
    return record_.Caption;
}

void XPButton::setCaption(const QString& value) {
    record_.Caption = value;
    emit PropertyChanged(kKeyCaption);
    drawButton();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

std::uint32_t XPButton::ForeColor() const {
    return record_.ForeColor;
}

void XPButton::setForeColor(std::uint32_t value) {
    record_.ForeColor = value;
    emit PropertyChanged(kKeyForeColor);
    drawButton();
}

std::int32_t XPButton::ColorStyle() const {
    return record_.ColorStyle;
}

void XPButton::setColorStyle(std::int32_t value) {
    record_.ColorStyle = value;
    emit PropertyChanged(kKeyColorStyle);
    drawButton();
}

bool XPButton::FocusDottedRect() const {
    return record_.FocusDottedRect;
}

void XPButton::setFocusDottedRect(bool value) {
    record_.FocusDottedRect = value;
    emit PropertyChanged(kKeyFocusDottedRect);
    drawButton();
}

bool XPButton::Enabled() const {
    return record_.Enabled;
}

void XPButton::setEnabled(bool value) {
    record_.Enabled = value;
    emit PropertyChanged(kKeyEnabled);
    drawButton();
    QAccessible::State changed;
    changed.disabled = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

QFont XPButton::FontType() const {
    return surface_.font();
}

void XPButton::setFontType(const QFont& value) {
    surface_.setFont(value);
    emit PropertyChanged(kKeyFontType);
    drawButton();
}

Picture XPButton::IconMask() const {
    return record_.IconMask;
}

void XPButton::setIconMask(const Picture& value) {
    record_.IconMask = value;
    maskPicture_.picture = value;
    emit PropertyChanged(kKeyIconMask);
    drawButton();
}

Picture XPButton::Icon() const {
    return record_.Icon;
}

void XPButton::setIcon(const Picture& value) {
    record_.Icon = value;
    iconPicture_.picture = value;
    emit PropertyChanged(kKeyIcon);
    drawButton();
}

std::int32_t XPButton::RoundedValue() const {
    return record_.RoundedValue;
}

void XPButton::setRoundedValue(std::int32_t value) {
    record_.RoundedValue = value;
    emit PropertyChanged(kKeyRoundedValue);
    drawButton();
}

// --- Form runtime side ---------------------------------------------------

void XPButton::setAmbient(const QString& displayName, bool userMode) {
    ambientDisplayName_ = displayName;
    ambientUserMode_ = userMode;
}

const XPButtonRecord& XPButton::record() const {
    return record_;
}

void XPButton::setPointer(platform::Pointer& pointer) {
    pointer_ = &pointer;
}

void XPButton::InitProperties() {
    setCaption(ambientDisplayName_);
    setForeColor(kDefaultForeColor);
    setColorStyle(kDefaultColorStyle);
    setFocusDottedRect(kDefaultFocusDottedRect);
    setEnabled(kDefaultEnabled);
    setIcon({});
    setIconMask({});
    setRoundedValue(kDefaultRoundedValue);
    setCaptionAlignment(kDefaultCaptionAlignment);
    setIconAlignment(kDefaultIconAlignment);
    if (ambientUserMode_) {
        hoverTimer_.start();
    } else {
        hoverTimer_.stop();
    }
}

void XPButton::ReadProperties(const PropertyBag& bag) {
    // Each value goes through its assignment, so each step notifies and
    // repaints; a value that does not convert ends the load right there.
    setCaption(toText(kKeyCaption, bag.ReadProperty(kKeyCaption, QString())));
    setForeColor(toColour(kKeyForeColor, bag.ReadProperty(kKeyForeColor, kDefaultForeColor)));
    setColorStyle(toInt32(kKeyColorStyle, bag.ReadProperty(kKeyColorStyle, kDefaultColorStyle)));
    setFocusDottedRect(toBoolean(kKeyFocusDottedRect,
                                 bag.ReadProperty(kKeyFocusDottedRect, kDefaultFocusDottedRect)));
    setEnabled(toBoolean(kKeyEnabled, bag.ReadProperty(kKeyEnabled, kDefaultEnabled)));
    setFontType(toFont(kKeyFontType, bag.ReadProperty(kKeyFontType, surface_.font())));
    setIcon(toPicture(kKeyIcon, bag.ReadProperty(kKeyIcon, QVariant())));
    setIconMask(toPicture(kKeyIconMask, bag.ReadProperty(kKeyIconMask, QVariant())));
    setRoundedValue(
        toInt32(kKeyRoundedValue, bag.ReadProperty(kKeyRoundedValue, kDefaultRoundedValue)));
    setCaptionAlignment(toInt32(kKeyCaptionAlignment,
                                bag.ReadProperty(kKeyCaptionAlignment, kDefaultCaptionAlignment)));
    setIconAlignment(
        toInt32(kKeyIconAlignment, bag.ReadProperty(kKeyIconAlignment, kDefaultIconAlignment)));
    if (ambientUserMode_) {
        hoverTimer_.start();
    } else {
        hoverTimer_.stop();
    }
}

void XPButton::WriteProperties(PropertyBag& bag) const {
    // An empty picture is stored as nothing, so it compares equal to the
    // empty default and is left out.
    const auto pictureValue = [](const Picture& picture) {
        return picture ? QVariant::fromValue(picture) : QVariant();
    };
    bag.WriteProperty(kKeyCaption, record_.Caption, QString());
    bag.WriteProperty(kKeyForeColor, record_.ForeColor, kDefaultForeColor);
    bag.WriteProperty(kKeyColorStyle, record_.ColorStyle, kDefaultColorStyle);
    bag.WriteProperty(kKeyFocusDottedRect, record_.FocusDottedRect, kDefaultFocusDottedRect);
    bag.WriteProperty(kKeyEnabled, record_.Enabled, kDefaultEnabled);
    bag.WriteProperty(kKeyFontType, surface_.font(), surface_.font());
    bag.WriteProperty(kKeyIcon, pictureValue(record_.Icon), QVariant());
    bag.WriteProperty(kKeyIconMask, pictureValue(record_.IconMask), QVariant());
    bag.WriteProperty(kKeyRoundedValue, record_.RoundedValue, kDefaultRoundedValue);
    bag.WriteProperty(kKeyCaptionAlignment, record_.CaptionAlignment, kDefaultCaptionAlignment);
    bag.WriteProperty(kKeyIconAlignment, record_.IconAlignment, kDefaultIconAlignment);
}

void XPButton::Terminate() {
    hoverTimer_.stop();
    record_.IsPressed = false;
    record_.IsMouseOver = false;
    record_.HasFocus = false;
    surface_.Cls();
}

// --- Form runtime notifications ------------------------------------------

void XPButton::handleClick() {
    if (!record_.Enabled) {
        return;
    }
    emit Click();
}

void XPButton::handleDoubleClick() {
    if (!record_.Enabled) {
        return;
    }
    emit DoubleClick();
}

void XPButton::handleFocusIn() {
    if (!record_.Enabled) {
        return;
    }
    record_.HasFocus = true;
    drawButton();
}

void XPButton::handleFocusOut() {
    if (!record_.Enabled) {
        return;
    }
    record_.HasFocus = false;
    drawButton();
}

// A handler may delete the control (a window closing from a Click); the
// steps after an event then stop instead of touching a dead object.

void XPButton::handleKeyDown(std::int16_t& KeyCode, std::int16_t& Shift) {
    if (!record_.Enabled) {
        return;
    }
    const QPointer<XPButton> alive(this);
    emit KeyDown(KeyCode, Shift);
    if (!alive) {
        return;
    }
    if (KeyCode == vbKeySpace) {
        record_.IsPressed = true;
        drawButton();
    }
}

void XPButton::handleKeyPress(std::int16_t& KeyAscii) {
    if (!record_.Enabled) {
        return;
    }
    const QPointer<XPButton> alive(this);
    emit KeyPress(KeyAscii);
    if (!alive) {
        return;
    }
    if (KeyAscii == vbKeyReturnAscii) {
        emit Click();
    }
}

void XPButton::handleKeyUp(std::int16_t& KeyCode, std::int16_t& Shift) {
    if (!record_.Enabled) {
        return;
    }
    const QPointer<XPButton> alive(this);
    emit KeyUp(KeyCode, Shift);
    if (!alive) {
        return;
    }
    if (KeyCode == vbKeySpace) {
        record_.IsPressed = false;
        drawButton();
    }
}

void XPButton::handleMouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
    if (!record_.Enabled) {
        return;
    }
    const QPointer<XPButton> alive(this);
    emit MouseDown(Button, Shift, X, Y);
    if (!alive) {
        return;
    }
    if (Button == vbLeftButton) {
        record_.IsPressed = true;
        drawButton();
    }
}

void XPButton::handleMouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
    if (!record_.Enabled) {
        return;
    }
    emit MouseMove(Button, Shift, X, Y);
}

void XPButton::handleMouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y) {
    if (!record_.Enabled) {
        return;
    }
    const QPointer<XPButton> alive(this);
    emit MouseUp(Button, Shift, X, Y);
    if (!alive) {
        return;
    }
    if (Button == vbLeftButton) {
        record_.IsPressed = false;
        drawButton();
    }
}

void XPButton::handlePaint() {
    surface_.Cls();
    drawButton();
}

void XPButton::pollPointer() {
    if (!record_.Enabled) {
        return;
    }
    // Off while the tick runs, so a handler that opens a message box does not
    // let the poll re-enter.
    hoverTimer_.stop();
    const QPoint position = pointer_->position();
    record_.CursorPos = {position.x(), position.y()};
    const QWidget* const under = pointer_->widgetAt(position);
    const QPointer<XPButton> alive(this);
    if (!record_.IsMouseOver && under == this) {
        record_.IsMouseOver = true;
        drawButton();
        emit MouseEnters(record_.CursorPos.X, record_.CursorPos.Y);
    } else if (record_.IsMouseOver && under != this) {
        record_.IsMouseOver = false;
        drawButton();
        emit MouseLeaves(record_.CursorPos.X, record_.CursorPos.Y);
    }
    if (!alive) {
        return;
    }
    hoverTimer_.start();
}

// --- Qt deliveries -------------------------------------------------------

void XPButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    // Device pixels per pixel of whatever is painted on: the screen's, or
    // that of an image the widget is rendered into.
    const double ratio = painter.deviceTransform().m11();
    const bool scaled = ratio > 1 && !qFuzzyCompare(ratio, 1.0);
    surface_.setDevicePixelRatio(scaled ? ratio : 1);
    inPaintEvent_ = true;
    handlePaint();
    inPaintEvent_ = false;
    if (scaled) {
        // The design in whole device pixels, caption and icon at the
        // screen's resolution; the surface scaled up would be blurred.
        painter.drawImage(QPointF(0, 0), surface_.devicePicture());
        surface_.setDevicePixelRatio(1);
    } else {
        painter.drawImage(0, 0, surface_.image());
    }
}

void XPButton::resizeEvent(QResizeEvent* event) {
    surface_.resize(event->size().width(), event->size().height());
}

void XPButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) {
        leftPressPending_ = true;
    }
    std::int16_t button = mouseButton(event->button());
    std::int16_t shift = shiftMask(event->modifiers());
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    handleMouseDown(button, shift, x, y);
}

void XPButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    // Qt keeps delivering to the widget that took the press, so the release
    // arrives even outside; it is a click only when it happens inside.
    const bool click = event->button() == Qt::LeftButton && leftPressPending_ &&
                       rect().contains(event->position().toPoint()) &&
                       (mask().isEmpty() || mask().contains(event->position().toPoint()));
    if (event->button() == Qt::LeftButton) {
        leftPressPending_ = false;
    }
    std::int16_t button = mouseButton(event->button());
    std::int16_t shift = shiftMask(event->modifiers());
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    const QPointer<XPButton> alive(this);
    handleMouseUp(button, shift, x, y);
    if (alive && click) {
        handleClick();
    }
}

// Qt delivers the second press of a double click as the double click alone,
// as the form runtime does: MouseDown, MouseUp, Click, DoubleClick, MouseUp. The
// release after it is no click, so a double click raises one Click and one
// DoubleClick, and the second press does not show the pressed face. Only the
// left button double-clicks, as it alone clicks.
void XPButton::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return;
    }
    leftPressPending_ = false;
    handleDoubleClick();
}

void XPButton::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    std::int16_t button = mouseButtons(event->buttons());
    std::int16_t shift = shiftMask(event->modifiers());
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    handleMouseMove(button, shift, x, y);
}

void XPButton::keyPressEvent(QKeyEvent* event) {
    // Accepted even when ignored, so a key meant for the button never falls
    // through to a parent (a dialog's default button, for one).
    event->accept();
    std::int16_t code = keyCode(event->key(), event->modifiers());
    std::int16_t shift = shiftMask(event->modifiers());
    const QPointer<XPButton> alive(this);
    handleKeyDown(code, shift);
    for (std::int16_t ascii : keyAsciis(event->key(), event->text())) {
        if (!alive) {
            return;
        }
        handleKeyPress(ascii);
    }
}

void XPButton::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    // The form runtime sends no key-up between auto-repeated downs: a held space
    // stays pressed until it is really let go.
    if (event->isAutoRepeat()) {
        return;
    }
    std::int16_t code = keyCode(event->key(), event->modifiers());
    std::int16_t shift = shiftMask(event->modifiers());
    handleKeyUp(code, shift);
}

void XPButton::focusInEvent(QFocusEvent* /*event*/) {
    handleFocusIn();
}

void XPButton::focusOutEvent(QFocusEvent* /*event*/) {
    handleFocusOut();
}

// The control has no context menu, and a right click on it must not open the
// parent's.
void XPButton::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void XPButton::applyShape(const QRegion& region) {
    // Setting an equal mask again would only schedule another paint.
    if (mask() != region) {
        setMask(region);
    }
}

}  // namespace tessapak::controls
