// Byte widths learnt from a meter: summed only when the meter's widths really add up.
#include "render/advance_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fake_text_meter.h"

namespace {

// A device font scaled from fractional widths that rounds the running total, as scaled device
// fonts do: "ab" is not always "a" + "b".
class RoundingMeter : public TextMeter {
public:
    TextExtent Measure(const char* text, std::size_t count) const override {
        double width = 0;
        for (std::size_t i = 0; i < count; ++i) width += static_cast<unsigned char>(text[i]) >= 0xC0 ? 2.4 : 1.3;
        ++calls;
        return TextExtent{static_cast<int>(std::lround(width)), 12};
    }
    int FontHeight() const override { return 12; }
    int PixelsPerInchX() const override { return 300; }
    int PixelsPerInchY() const override { return 600; }
    mutable int calls = 0;
};

const std::string kCell = "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2 1234.56";  // "Иван Петров 1234.56"

TEST(AdvanceTable, SumsTheWidthsOfAnAdditiveDevice) {
    const FakeTextMeter device(3, 5, 14, 120);
    AdvanceTable table;
    EXPECT_FALSE(table.Learnt());
    table.Learn(device);
    ASSERT_TRUE(table.Usable());
    const AdvanceTableMeter meter(device, table);
    EXPECT_EQ(meter.Width(kCell.data(), kCell.size()), device.Width(kCell.data(), kCell.size()));
    EXPECT_EQ(meter.Measure(kCell.data(), kCell.size()).height, 14);
    EXPECT_EQ(meter.Measure("", 0).height, 14);
    EXPECT_EQ(meter.Measure(nullptr, 0).width, 0);
    EXPECT_EQ(meter.PixelsPerInchX(), 120);
    // A NUL byte inside the text is measured like any other byte.
    EXPECT_EQ(meter.Width("a\0b", 3), 9);
}

TEST(AdvanceTable, ADeviceThatRoundsRunningTotalsIsAskedEveryTime) {
    const RoundingMeter device;
    AdvanceTable table;
    table.Learn(device);
    EXPECT_TRUE(table.Learnt());
    EXPECT_FALSE(table.Usable());
    const AdvanceTableMeter meter(device, table);
    const int before = device.calls;
    const int width = meter.Width(kCell.data(), kCell.size());
    EXPECT_EQ(width, device.Measure(kCell.data(), kCell.size()).width);
    EXPECT_EQ(device.calls, before + 2);
    EXPECT_EQ(meter.PixelsPerInchY(), 600);
}

TEST(AdvanceTable, SingleBytesTallerThanTheFontMakeTheTableUnusable) {
    class TallGlyphs : public FakeTextMeter {
    public:
        TextExtent Measure(const char* text, std::size_t count) const override {
            TextExtent extent = FakeTextMeter::Measure(text, count);
            if (count == 1 && text[0] == 'W') extent.height = 11;
            return extent;
        }
    } device;
    AdvanceTable table;
    table.Learn(device);
    EXPECT_FALSE(table.Usable());
}

TEST(AdvanceTable, ForgottenTablesAskTheDeviceUntilLearntAgain) {
    FakeTextMeter first(1, 2, 10, 96);
    AdvanceTable table;
    table.Learn(first);
    table.Forget();
    EXPECT_FALSE(table.Learnt());
    const FakeTextMeter second(4, 4, 20, 300);
    const AdvanceTableMeter meter(second, table);
    EXPECT_EQ(meter.Width("abc", 3), 12);
    EXPECT_EQ(meter.FontHeight(), 20);
    EXPECT_EQ(meter.PixelsPerInchX(), 300);
    table.Learn(second);
    EXPECT_EQ(meter.Width("abc", 3), 12);
}

}  // namespace
