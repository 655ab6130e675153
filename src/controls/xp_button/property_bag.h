#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace tessapak::controls {

// The host's property bag: key lookup ignores case, and a value equal to its
// default is not stored.
class PropertyBag {
  public:
    QVariant ReadProperty(const QString& key, const QVariant& defaultValue) const;
    void WriteProperty(const QString& key, const QVariant& value, const QVariant& defaultValue);

    bool contains(const QString& key) const;
    QStringList keys() const;  // as stored

    static PropertyBag fromVariantMap(const QVariantMap& map);
    QVariantMap toVariantMap() const;

  private:
    QVariantMap values_;
};

}  // namespace tessapak::controls
