#pragma once

#include <QFont>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "controls/xp_button/property_bag.h"
#include "controls/xp_button/xp_button_record.h"

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

    // (private implementation: added by the control's implementation)
};

}  // namespace tessapak::controls
