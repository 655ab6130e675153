// Times the button's paint routine and the loading of the main window's six
// buttons. Run with QT_QPA_PLATFORM=offscreen; prints "name value" lines.

#include <QApplication>
#include <QElapsedTimer>
#include <QVariantMap>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "../tests/controls/xp_button_test_access.h"
#include "controls/xp_button/property_bag.h"
#include "controls/xp_button/xp_button.h"

using tessapak::controls::PropertyBag;
using tessapak::controls::XPButton;
using Access = tessapak::controls::XPButtonTestAccess;

namespace {

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    return n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

struct Look {
    const char* name;
    bool enabled, pressed, mouseOver, focus;
};

// One DrawButton of a 94 x 25 start button, median of many single calls.
double drawButtonMicros(const Look& look, int calls) {
    XPButton button;
    button.resize(94, 25);
    button.setAmbient("jbbtn", true);
    button.ReadProperties(
        PropertyBag::fromVariantMap({{"caption", QStringLiteral("开始解包")}, {"colorstyle", 3}}));
    button.setEnabled(look.enabled);
    Access::setFlags(button, look.pressed, look.mouseOver, look.focus);
    for (int i = 0; i < 50; ++i) {  // warm the font and glyph caches
        Access::drawButton(button);
    }
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(calls));
    QElapsedTimer timer;
    for (int i = 0; i < calls; ++i) {
        timer.start();
        Access::drawButton(button);
        samples.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
    }
    return median(samples);
}

struct StoredButton {
    const char* name;
    QRect geometry;
    QVariantMap bag;
};

// The six buttons as the main window stores them.
std::vector<StoredButton> mainWindowButtons() {
    const QString browse = QStringLiteral("浏览...");
    return {
        {"jbbtn1", {421, 28, 74, 22}, {{"_extentx", 1958}, {"_extenty", 582}, {"caption", browse}}},
        {"jbbtn2", {421, 64, 74, 22}, {{"_extentx", 1958}, {"_extenty", 582}, {"caption", browse}}},
        {"jbbtn",
         {403, 94, 94, 25},
         {{"_extentx", 2487},
          {"_extenty", 661},
          {"caption", QStringLiteral("开始解包")},
          {"colorstyle", 3}}},
        {"dbbtn1", {420, 27, 74, 22}, {{"_extentx", 1958}, {"_extenty", 582}, {"caption", browse}}},
        {"dbbtn2", {420, 64, 74, 22}, {{"_extentx", 1958}, {"_extenty", 582}, {"caption", browse}}},
        {"dbbtn",
         {403, 96, 94, 25},
         {{"_extentx", 2487},
          {"_extenty", 661},
          {"caption", QStringLiteral("开始打包")},
          {"colorstyle", 3}}},
    };
}

double loadSixButtonsMillis(int rounds) {
    const auto stored = mainWindowButtons();
    std::vector<double> samples;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        QWidget frame;
        timer.start();
        for (const StoredButton& s : stored) {
            auto* button = new XPButton(&frame);
            button->setGeometry(s.geometry);
            button->setAmbient(QString::fromLatin1(s.name), true);
            button->ReadProperties(PropertyBag::fromVariantMap(s.bag));
        }
        samples.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return median(samples);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);

    const Look looks[] = {
        {"focused", true, false, false, true},    {"idle", true, false, false, false},
        {"hovered", true, false, true, false},    {"pressed", true, true, false, true},
        {"disabled", false, false, false, false},
    };
    std::printf("draw_button_us %.2f\n", drawButtonMicros(looks[0], 5000));
    for (const Look& look : looks) {
        std::printf("draw_button_us_%s %.2f\n", look.name, drawButtonMicros(look, 5000));
    }
    loadSixButtonsMillis(3);  // warm-up
    std::printf("load_six_buttons_ms %.3f\n", loadSixButtonsMillis(200));
    return 0;
}
