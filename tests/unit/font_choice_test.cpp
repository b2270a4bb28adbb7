// Tests of the table font taken from the font chooser: only a weight of exactly 700 is bold.
#include "app/font_choice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(ChosenTableFont, OnlyWeight700IsBoldAndNoOtherStyleSurvives) {
    FontSpec current;
    current.style = kFontItalic | kFontUnderline | kFontStrikeOut;
    const std::vector<std::pair<int, std::uint32_t>> cases = {
        {0, 0}, {400, 0}, {600, 0}, {699, 0}, {700, kFontBold}, {701, 0}, {800, 0}, {900, 0},
    };
    for (const auto& [weight, style] : cases) {
        EXPECT_EQ(ChosenTableFont(current, "Arial", 120, weight, 204).style, style) << weight;
    }
}

TEST(ChosenTableFont, TakesFaceSizeAndCharacterSetAndKeepsTheRest) {
    FontSpec current;
    current.reserved_first = 11;
    current.reserved_second = 22;
    current.reserved_last = 33;
    const FontSpec font = ChosenTableFont(current, "Times New Roman", 145, 700, 204);
    EXPECT_STREQ(font.face_name, "Times New Roman");
    EXPECT_EQ(font.size, 145);
    EXPECT_EQ(font.style, kFontBold);
    EXPECT_EQ(font.char_set, 204u);
    EXPECT_EQ(font.reserved_first, 11u);
    EXPECT_EQ(font.reserved_second, 22u);
    EXPECT_EQ(font.reserved_last, 33u);
}

TEST(ChosenTableFont, CutsALongFaceNameAndClearsTheRestOfTheField) {
    FontSpec current;
    std::memset(current.face_name, 'z', sizeof current.face_name);  // no terminator at all
    const std::string long_name(40, 'a');
    FontSpec font = ChosenTableFont(current, long_name.c_str(), 100, 400, 1);
    EXPECT_EQ(std::string(font.face_name), std::string(31, 'a'));
    font = ChosenTableFont(current, "Arial", 100, 400, 1);
    EXPECT_STREQ(font.face_name, "Arial");
    for (std::size_t i = 5; i < sizeof font.face_name; ++i) EXPECT_EQ(font.face_name[i], '\0') << i;
    EXPECT_EQ(ChosenTableFont(current, nullptr, 100, 400, 1).face_name[0], '\0');
}

}  // namespace
