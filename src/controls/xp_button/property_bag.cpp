#include "controls/xp_button/property_bag.h"

#include <QStringList>

namespace tessapak::controls {

namespace {

// Keys are few (a dozen per bag), so a linear case-insensitive scan is
// cheaper than keeping a second, folded index in step with the map.
QVariantMap::const_iterator findKey(const QVariantMap& map, const QString& key) {
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        if (it.key().compare(key, Qt::CaseInsensitive) == 0) {
            return it;
        }
    }
    return map.constEnd();
}

}  // namespace

QVariant PropertyBag::ReadProperty(const QString& key, const QVariant& defaultValue) const {
    const auto it = findKey(values_, key);
    return it == values_.constEnd() ? defaultValue : it.value();
}

void PropertyBag::WriteProperty(const QString& key, const QVariant& value,
                                const QVariant& defaultValue) {
    // A key that differs only in case is the same property: replace it rather
    // than keep two entries of which a later read might pick the stale one.
    for (auto it = findKey(values_, key); it != values_.constEnd(); it = findKey(values_, key)) {
        values_.remove(it.key());
    }
    // A value equal to its default is not stored; dropping the old entry above
    // makes the bag read back that default instead of an outdated value.
    if (value == defaultValue) {
        return;
    }
    values_.insert(key, value);
}

bool PropertyBag::contains(const QString& key) const {
    return findKey(values_, key) != values_.constEnd();
}

QStringList PropertyBag::keys() const {
    return values_.keys();
}

PropertyBag PropertyBag::fromVariantMap(const QVariantMap& map) {
    PropertyBag bag;
    bag.values_ = map;
    return bag;
}

QVariantMap PropertyBag::toVariantMap() const {
    return values_;
}

}  // namespace tessapak::controls
