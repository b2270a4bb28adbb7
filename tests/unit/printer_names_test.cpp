// The profile's printer list and printer name comparison; settings converted to device pixels.
#include "print/printer_names.h"
#include "base/print_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(ProfileKeyList, ReadsNamesUntilTheEmptyOne) {
    const char block[] = "PDF\0Office Letter\0\0Ignored\0";
    const auto names = ParseProfileKeyList(block, sizeof block - 1);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "PDF");
    EXPECT_EQ(names[1], "Office Letter");
}

TEST(ProfileKeyList, StopsAtTheEndOfTheBlock) {
    const char block[] = "AAAA\0BBBB";  // the second name has no terminator within 9 bytes
    const auto names = ParseProfileKeyList(block, 9);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1], "BBBB");
    EXPECT_TRUE(ParseProfileKeyList(block, 0).empty());
    EXPECT_TRUE(ParseProfileKeyList("\0PDF\0", 5).empty());
    EXPECT_TRUE(ParseProfileKeyList(nullptr, 10).empty());
}

TEST(PrinterNameComparison, IgnoresOnlyLatinCase) {
    EXPECT_TRUE(SamePrinterName("PDF", "pdf"));
    EXPECT_TRUE(SamePrinterName("Office-Letter 2", "OFFICE-letter 2"));
    EXPECT_FALSE(SamePrinterName("PDF", "PDF2"));
    EXPECT_FALSE(SamePrinterName("PDF2", "PDF"));
    // Cyrillic capitals and small letters differ (cp1251 0xC0 'А' and 0xE0 'а').
    EXPECT_FALSE(SamePrinterName("\xC0", "\xE0"));
    EXPECT_FALSE(SamePrinterName("@", "`"));  // neighbours of the Latin ranges
    EXPECT_TRUE(SamePrinterName(nullptr, nullptr));
    EXPECT_FALSE(SamePrinterName("PDF", nullptr));
}

TEST(DevicePixels, PortraitA4At300Dpi) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.left_margin = 1000;
    settings.top_margin = 1500;
    settings.right_margin = 423;
    ToDevicePixels(settings, 300, 300);
    EXPECT_EQ(settings.paper_width, 2480);   // 21000 * 300 / 2540 = 2480.3
    EXPECT_EQ(settings.paper_height, 3508);  // 3507.87 rounds up
    EXPECT_EQ(settings.left_margin, 118);
    EXPECT_EQ(settings.top_margin, 177);
    EXPECT_EQ(settings.right_margin, 50);
}

TEST(DevicePixels, LandscapeExchangesSidesBeforeConvertingAndOnlyInTheCopy) {
    PrintSettings record = BuiltInPrintSettings();
    record.flags = kLandscapeFlag;
    PrintSettings copy = record;
    ToDevicePixels(copy, 96, 200);
    EXPECT_EQ(record.paper_width, 21000);
    EXPECT_EQ(record.paper_height, 29700);
    EXPECT_EQ(copy.paper_width, 1123);   // the 297 mm side at 96 dpi
    EXPECT_EQ(copy.paper_height, 1654);  // the 210 mm side at 200 dpi
    EXPECT_GT(copy.paper_width * 200, copy.paper_height * 96);
}

}  // namespace
