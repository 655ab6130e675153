#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QVariantMap>

namespace tessapak::app {

// One control of a window's stored design data: what the form runtime keeps for it
// (class, name, container, position and size in pixels, tab index) and the
// control's own property bag as saved.
struct StoredControl {
    QString classId;
    QString name;
    QString container;  // empty for the window itself
    QRect geometry;
    int tabIndex = 0;
    QVariantMap properties;
};

inline constexpr char kXPButtonClassId[] = "Tessapak.XPButton";

// Reads the design data of a window from a JSON document (a file or a
// resource path). Throws std::runtime_error naming the path when the
// document is missing or malformed.
QList<StoredControl> readStoredForm(const QString& path);

}  // namespace tessapak::app
