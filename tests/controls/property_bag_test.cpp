#include <gtest/gtest.h>

#include <QFont>
#include <QStringList>

#include "controls/xp_button/property_bag.h"

namespace tessapak::controls {
namespace {

TEST(PropertyBag, ReadsAStoredValueUnderAnyCaseOfItsKey) {
    const auto bag = PropertyBag::fromVariantMap({{"colorstyle", 3}, {"_extentx", 2487}});
    EXPECT_EQ(bag.ReadProperty("ColorStyle", 1).toInt(), 3);
    EXPECT_EQ(bag.ReadProperty("COLORSTYLE", 1).toInt(), 3);
    EXPECT_TRUE(bag.contains("colorStyle"));
}

TEST(PropertyBag, GivesTheDefaultForAnAbsentKey) {
    const auto bag = PropertyBag::fromVariantMap({{"caption", "浏览..."}});
    EXPECT_EQ(bag.ReadProperty("RoundedValue", 5).toInt(), 5);
    EXPECT_FALSE(bag.ReadProperty("Icon", QVariant()).isValid());
}

TEST(PropertyBag, DoesNotStoreAValueEqualToItsDefault) {
    PropertyBag bag;
    bag.WriteProperty("Caption", QString(""), QString());
    bag.WriteProperty("ColorStyle", 1, 1);
    bag.WriteProperty("Enabled", true, true);
    QFont font("WenQuanYi Micro Hei", 9);
    bag.WriteProperty("FontType", font, font);
    EXPECT_TRUE(bag.keys().isEmpty()) << bag.keys().join(",").toStdString();

    bag.WriteProperty("ColorStyle", 3, 1);
    EXPECT_EQ(bag.keys(), QStringList({"ColorStyle"}));
}

TEST(PropertyBag, ReplacesAKeyThatDiffersOnlyInCase) {
    auto bag = PropertyBag::fromVariantMap({{"caption", "old"}, {"_extenty", 661}});
    bag.WriteProperty("Caption", QString("开始打包"), QString());
    EXPECT_EQ(bag.keys(), QStringList({"Caption", "_extenty"}));
    EXPECT_EQ(bag.ReadProperty("caption", QString()).toString(), "开始打包");
}

TEST(PropertyBag, ForgetsAnOldValueWhenTheDefaultIsWritten) {
    auto bag = PropertyBag::fromVariantMap({{"colorstyle", 3}});
    bag.WriteProperty("ColorStyle", 1, 1);
    EXPECT_EQ(bag.ReadProperty("ColorStyle", 1).toInt(), 1);
    EXPECT_FALSE(bag.contains("colorstyle"));
}

TEST(PropertyBag, KeepsTheHostsOwnKeysAndRoundTripsThroughAVariantMap) {
    const QVariantMap stored{{"_extentx", 2487}, {"_extenty", 661}, {"caption", "开始解包"}};
    EXPECT_EQ(PropertyBag::fromVariantMap(stored).toVariantMap(), stored);
}

}  // namespace
}  // namespace tessapak::controls
