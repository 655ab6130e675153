#pragma once

#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "controls/xp_button/property_bag.h"
#include "controls/xp_button/xp_button_record.h"
#include "graphics/surface.h"

namespace tessapak::platform {
class Pointer;
}

namespace tessapak::controls {

// The owner-drawn push button of both windows. It keeps the interface it was
// designed with in a form runtime (the framework that holds controls on a
// form and sends them notifications): its property and event names, the
// ambient properties and the lifecycle calls below are that interface.
class XPButton : public QWidget {
    Q_OBJECT

  public:
    explicit XPButton(QWidget* parent = nullptr);
    ~XPButton() override;

    // Readers and assignments, in the order of the control's interface. Every
    // assignment stores, notifies PropertyChanged with the key, and repaints.
    std::int32_t CaptionAlignment() const;
    void setCaptionAlignment(std::int32_t value);
    std::int32_t IconAlignment() const;
    void setIconAlignment(std::int32_t value);
    QString Caption() const;
    void setCaption(const QString& value);
    std::uint32_t ForeColor() const;
    void setForeColor(std::uint32_t value);
    std::int32_t ColorStyle() const;
    void setColorStyle(std::int32_t value);
    bool FocusDottedRect() const;
    void setFocusDottedRect(bool value);
    // Only the member changes: the widget itself stays enabled, keeps its focus
    // and gets input, which the control then ignores. Shadows QWidget's on purpose.
    bool Enabled() const;
    void setEnabled(bool value);
    QFont FontType() const;
    void setFontType(const QFont& value);
    Picture IconMask() const;
    void setIconMask(const Picture& value);
    Picture Icon() const;
    void setIcon(const Picture& value);
    std::int32_t RoundedValue() const;
    void setRoundedValue(std::int32_t value);

    // The form runtime's ambient properties, set by whoever holds the control.
    void setAmbient(const QString& displayName, bool userMode);

    // Lifecycle notifications from the form runtime. The windows only load
    // (ReadProperties); InitProperties and WriteProperties stay as the rest
    // of the interface, with which a designer makes and stores a button.
    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;
    void Terminate();

    const XPButtonRecord& record() const;

    // Where the hover poll asks for the pointer and the widget under it: the
    // real pointer unless a test scripts one. Not owned; must outlive the control.
    void setPointer(platform::Pointer& pointer);

  signals:
    // The ten events, in the control's declared order. By-reference parameters
    // may be changed by a directly connected handler; the control tests them after.
    void Click();
    void DoubleClick();
    void KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void KeyPress(std::int16_t& KeyAscii);
    void KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    void MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseEnters(std::int32_t X, std::int32_t Y);
    void MouseLeaves(std::int32_t X, std::int32_t Y);

    void PropertyChanged(const QString& key);

  protected:
    // Qt's deliveries, each turned into the form runtime notification it stands for.
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    friend class XPButtonTestAccess;
    // Its press action is the form runtime's click.
    friend class AccessibleXPButton;

    // The form runtime's notifications to the control.
    void handleClick();
    void handleDoubleClick();
    void handleFocusIn();
    void handleFocusOut();
    void handleKeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void handleKeyPress(std::int16_t& KeyAscii);
    void handleKeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    void handleMouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void handleMouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void handleMouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void handlePaint();
    void pollPointer();

    // Paints the whole control from the record; defined in rendering.cpp.
    void drawButton();
    // The shape of this call's region, given to the widget only when it differs.
    void applyShape(const QRegion& region);

    XPButtonRecord record_;
    graphics::Surface surface_;
    QTimer hoverTimer_;
    PictureBox iconPicture_;
    PictureBox maskPicture_;
    PictureBox disabledPicture_;

    QString ambientDisplayName_;
    bool ambientUserMode_ = false;
    platform::Pointer* pointer_;

    // The form runtime's click rule: a left press inside, then its release inside.
    bool leftPressPending_ = false;
    bool inPaintEvent_ = false;
    // Read by tests only: how often a change repaints is part of the control's
    // behaviour, and pixels cannot tell one repaint from two.
    std::uint64_t drawButtonCalls_ = 0;
};

}  // namespace tessapak::controls
