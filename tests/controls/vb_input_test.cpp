#include <gtest/gtest.h>

#include <vector>

#include "controls/xp_button/vb_input.h"

namespace tessapak::controls {
namespace {

TEST(FormRuntimeKeyCodes, MatchTheVirtualKeysOfLettersDigitsAndNamedKeys) {
    EXPECT_EQ(keyCode(Qt::Key_A, {}), 65);
    EXPECT_EQ(keyCode(Qt::Key_Z, Qt::ShiftModifier), 90);
    EXPECT_EQ(keyCode(Qt::Key_0, {}), 48);
    EXPECT_EQ(keyCode(Qt::Key_Space, {}), 32);
    EXPECT_EQ(keyCode(Qt::Key_Return, {}), 13);
    EXPECT_EQ(keyCode(Qt::Key_Escape, {}), 27);
    EXPECT_EQ(keyCode(Qt::Key_Left, {}), 37);
    EXPECT_EQ(keyCode(Qt::Key_Down, {}), 40);
    EXPECT_EQ(keyCode(Qt::Key_Delete, {}), 46);
    EXPECT_EQ(keyCode(Qt::Key_F1, {}), 112);
    EXPECT_EQ(keyCode(Qt::Key_F12, {}), 123);
    EXPECT_EQ(keyCode(Qt::Key_Shift, Qt::ShiftModifier), 16);
    EXPECT_EQ(keyCode(Qt::Key_Semicolon, {}), 186);
}

TEST(FormRuntimeKeyCodes, ReportTheKeyNotTheShiftedCharacter) {
    EXPECT_EQ(keyCode(Qt::Key_Exclam, Qt::ShiftModifier), '1');
    EXPECT_EQ(keyCode(Qt::Key_ParenRight, Qt::ShiftModifier), '0');
    EXPECT_EQ(keyCode(Qt::Key_Colon, Qt::ShiftModifier), 186);
}

TEST(FormRuntimeKeyCodes, GiveTheKeypadItsOwnCodes) {
    EXPECT_EQ(keyCode(Qt::Key_5, Qt::KeypadModifier), 101);
    EXPECT_EQ(keyCode(Qt::Key_Plus, Qt::KeypadModifier), 107);
    EXPECT_EQ(keyCode(Qt::Key_Enter, Qt::KeypadModifier), 13);
    EXPECT_EQ(keyCode(Qt::Key_Plus, {}), 187);
}

TEST(FormRuntimeKeyCodes, AreZeroForKeysTheFormRuntimeHasNoCodeFor) {
    EXPECT_EQ(keyCode(Qt::Key_VolumeUp, {}), 0);
}

TEST(FormRuntimeShiftMask, CombinesShiftCtrlAndAltAndIgnoresTheRest) {
    EXPECT_EQ(shiftMask({}), 0);
    EXPECT_EQ(shiftMask(Qt::ShiftModifier), 1);
    EXPECT_EQ(shiftMask(Qt::ControlModifier | Qt::AltModifier), 6);
    EXPECT_EQ(shiftMask(Qt::ShiftModifier | Qt::KeypadModifier | Qt::MetaModifier), 1);
}

TEST(FormRuntimeMouseButtons, NumberLeftRightAndMiddle) {
    EXPECT_EQ(mouseButton(Qt::LeftButton), 1);
    EXPECT_EQ(mouseButton(Qt::RightButton), 2);
    EXPECT_EQ(mouseButton(Qt::MiddleButton), 4);
    EXPECT_EQ(mouseButton(Qt::BackButton), 0);
    EXPECT_EQ(mouseButtons(Qt::LeftButton | Qt::MiddleButton), 5);
    EXPECT_EQ(mouseButtons(Qt::NoButton), 0);
}

TEST(FormRuntimeKeyAscii, IsOnePerTypedCharacterAndNoneForDelete) {
    EXPECT_EQ(keyAsciis(Qt::Key_Return, "\r"), std::vector<std::int16_t>({13}));
    EXPECT_EQ(keyAsciis(Qt::Key_A, "ab"), std::vector<std::int16_t>({97, 98}));
    EXPECT_TRUE(keyAsciis(Qt::Key_Left, "").empty());
    EXPECT_TRUE(keyAsciis(Qt::Key_Delete, "\x7f").empty());
}

}  // namespace
}  // namespace tessapak::controls
