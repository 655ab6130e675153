#include "app/stored_form.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

namespace tessapak::app {

namespace {

[[noreturn]] void fail(const QString& path, const QString& why) {
    throw std::runtime_error(
        QStringLiteral("stored design data %1: %2").arg(path, why).toStdString());
}

int requireInt(const QJsonObject& object, const char* key, const QString& path) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (!value.isDouble()) {
        fail(path, QStringLiteral("\"%1\" is missing or not a number").arg(QLatin1String(key)));
    }
    return value.toInt();
}

}  // namespace

QList<StoredControl> readStoredForm(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(path, file.errorString());
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (document.isNull()) {
        fail(path, error.errorString());
    }
    const QJsonValue controls = document.object().value(QLatin1String("controls"));
    if (!controls.isArray()) {
        fail(path, QStringLiteral("\"controls\" is missing or not a list"));
    }

    QList<StoredControl> result;
    for (const QJsonValue& entry : controls.toArray()) {
        const QJsonObject object = entry.toObject();
        StoredControl control;
        control.classId = object.value(QLatin1String("class")).toString();
        control.name = object.value(QLatin1String("name")).toString();
        if (control.classId.isEmpty() || control.name.isEmpty()) {
            fail(path, QStringLiteral("a control without class or name"));
        }
        control.container = object.value(QLatin1String("container")).toString();
        control.geometry =
            QRect(requireInt(object, "left", path), requireInt(object, "top", path),
                  requireInt(object, "width", path), requireInt(object, "height", path));
        control.tabIndex = requireInt(object, "tabIndex", path);
        control.properties = object.value(QLatin1String("properties")).toObject().toVariantMap();
        result.append(control);
    }
    return result;
}

}  // namespace tessapak::app
