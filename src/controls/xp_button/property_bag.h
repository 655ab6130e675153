#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <stdexcept>

namespace tessapak::controls {

// A stored value that does not convert to its property's type. It ends the
// load or save where it happens; properties assigned before keep their values.
class PropertyTypeError : public std::runtime_error {
  public:
    PropertyTypeError(const QString& key, const QVariant& value)
        : std::runtime_error(
              QStringLiteral("property \"%1\": cannot convert a value of type %2")
                  .arg(key, QString::fromLatin1(value.typeName() ? value.typeName() : "(none)"))
                  .toStdString()),
          key_(key) {}
    const QString& key() const { return key_; }

  private:
    QString key_;
};

// The form runtime's property bag: key lookup ignores case, and a value equal to its
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
