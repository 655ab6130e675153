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

// The owner-drawn push button of both windows.
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

    // The host's ambient properties, set by whoever hosts the control.
    void setAmbient(const QString& displayName, bool userMode);

    // Lifecycle notifications from the host.
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
    // Qt's deliveries, each turned into the host notification it stands for.
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
    // Its press action is the host's click.
    friend class AccessibleXPButton;

    // The host's notifications to the control.
    void UserControl_Click();
    void UserControl_DblClick();
    void UserControl_GotFocus();
    void UserControl_LostFocus();
    void UserControl_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void UserControl_KeyPress(std::int16_t& KeyAscii);
    void UserControl_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    void UserControl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void UserControl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void UserControl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void UserControl_Paint();
    void tmrCheck_Timer();

    // Paints the whole control from the record; defined in rendering.cpp.
    void DrawButton();
    // The shape of this call's region, given to the widget only when it differs.
    void applyShape(const QRegion& region);

    XPButtonRecord record_;
    graphics::Surface surface_;
    QTimer tmrCheck;
    PictureBox imgIcon;
    PictureBox imgMask;
    PictureBox imgDis;

    QString ambientDisplayName_;
    bool ambientUserMode_ = false;
    platform::Pointer* pointer_;

    // The host's click rule: a left press inside, then its release inside.
    bool leftPressPending_ = false;
    bool inPaintEvent_ = false;
    std::uint64_t drawButtonCalls_ = 0;
};

}  // namespace tessapak::controls
