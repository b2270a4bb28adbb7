// The Printer.cfg record: its byte image, defaults and the start-up adjustments.
#include "base/print_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "print/paper_rules.h"

namespace {

std::vector<unsigned char> FileBytes(std::size_t count, unsigned char fill) {
    std::vector<unsigned char> bytes(count, fill);
    return bytes;
}

void ExpectBuiltIn(const PrintSettings& settings) {
    EXPECT_EQ(settings.printer_kind, kDefaultWindowsPrinter);
    EXPECT_EQ(settings.flags, 0);
    EXPECT_EQ(settings.paper_width, 21000);
    EXPECT_EQ(settings.paper_height, 29700);
    EXPECT_EQ(settings.left_margin + settings.right_margin + settings.top_margin +
                  settings.bottom_margin, 0);
    EXPECT_STREQ(settings.device_name, "");
}

TEST(PrintSettingsFile, FieldsLieAtTheirOffsetsLittleEndian) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.printer_kind = 1;
    settings.flags = kLandscapeFlag;
    settings.left_margin = 0x01020304;
    settings.bottom_margin = 1500;
    settings.dot_matrix_mode = 3;
    settings.paper_feed = 1;
    std::strcpy(settings.device_name, "PDF");
    unsigned char bytes[304];
    PrintSettingsToFileBytes(settings, bytes);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[4], 4);
    EXPECT_EQ(bytes[8] | bytes[9] << 8, 21000);
    EXPECT_EQ(bytes[12], 0x04);
    EXPECT_EQ(bytes[15], 0x01);
    EXPECT_EQ(bytes[20] | bytes[21] << 8, 29700);
    EXPECT_EQ(bytes[28] | bytes[29] << 8, 1500);
    EXPECT_EQ(bytes[36], 3);
    EXPECT_EQ(bytes[40], 1);
    EXPECT_EQ(std::memcmp(bytes + 44, "PDF", 4), 0);
    // The image is the record as it lies in memory.
    EXPECT_EQ(std::memcmp(bytes, &settings, sizeof bytes), 0);

    const PrintSettings back = PrintSettingsFromFileBytes(bytes, sizeof bytes);
    EXPECT_EQ(std::memcmp(&back, &settings, sizeof settings), 0);
}

TEST(PrintSettingsFile, ShortFileGivesDefaultsLongerFileItsFirst304Bytes) {
    const auto short_file = FileBytes(303, 0x11);
    ExpectBuiltIn(PrintSettingsFromFileBytes(short_file.data(), short_file.size()));
    ExpectBuiltIn(PrintSettingsFromFileBytes(nullptr, 0));

    PrintSettings stored = DotMatrixPrintSettings();
    std::strcpy(stored.device_name, "LPT1");
    std::vector<unsigned char> long_file(400, 0xEE);
    std::memcpy(long_file.data(), &stored, sizeof stored);
    for (std::size_t count : {304u, 305u, 400u}) {
        const PrintSettings loaded = PrintSettingsFromFileBytes(long_file.data(), count);
        EXPECT_EQ(std::memcmp(&loaded, &stored, sizeof stored), 0) << count;
    }
}

TEST(PrintSettingsFile, UnterminatedDeviceNameIsCutWithinItsField) {
    const auto bytes = FileBytes(304, 'A');
    const PrintSettings loaded = PrintSettingsFromFileBytes(bytes.data(), bytes.size());
    EXPECT_EQ(std::strlen(loaded.device_name), 259u);
}

TEST(StartupPrinter, DefaultKindTakesWindowsDefaultPrinter) {
    PrintSettings settings = BuiltInPrintSettings();
    std::strcpy(settings.device_name, "Stale name");
    ChooseStartupPrinter(settings, "PDF");
    EXPECT_STREQ(settings.device_name, "PDF");
    EXPECT_EQ(settings.printer_kind, kDefaultWindowsPrinter);
    EXPECT_EQ(settings.paper_width, 21000);
}

TEST(StartupPrinter, NoDefaultPrinterFallsBackToTheDotMatrixPrinter) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.left_margin = 500;
    settings.flags = kLandscapeFlag;
    ChooseStartupPrinter(settings, "");
    EXPECT_EQ(settings.printer_kind, kDotMatrixPrinter);
    EXPECT_EQ(settings.paper_width, 80);
    EXPECT_EQ(settings.paper_height, 60);
    EXPECT_EQ(settings.left_margin, 0);
    EXPECT_EQ(settings.flags, 0);
}

TEST(StartupPrinter, OtherKindsKeepTheirPrinter) {
    PrintSettings other = BuiltInPrintSettings();
    other.printer_kind = kOtherWindowsPrinter;
    std::strcpy(other.device_name, "Office");
    ChooseStartupPrinter(other, "");
    EXPECT_STREQ(other.device_name, "Office");
    EXPECT_EQ(other.printer_kind, kOtherWindowsPrinter);
}

TEST(StartupPrinter, AnUnknownKindOrAnUnnamedOtherPrinterIsTheDefaultPrinter) {
    for (std::int32_t kind : {-1, 3, 1}) {  // 1: another printer, but unnamed
        PrintSettings settings = BuiltInPrintSettings();
        settings.printer_kind = kind;
        ChooseStartupPrinter(settings, "PDF");
        EXPECT_EQ(settings.printer_kind, kDefaultWindowsPrinter) << kind;
        EXPECT_STREQ(settings.device_name, "PDF") << kind;
    }
}

struct FallBackCase {
    const char* name;
    std::int32_t kind;
    std::int32_t width, left, right, height, top, bottom;  // as read
    std::int32_t expected[6];                              // width, left, right, height, top, bottom
};

TEST(FallBackToAcceptablePaper, WhatPrintSetupWouldRefuseFallsBack) {
    // The previous records: 96 x 66 characters with margins 2, 3 / 1, 4; A4 with 15, 10 / 10, 10 mm.
    // The Windows printer "reports" Letter with a 4.23 mm strip on the left.
    const FallBackCase cases[] = {
        {"dot matrix as it is", 2, 137, 5, 5, 72, 3, 3, {137, 5, 5, 72, 3, 3}},
        {"left 21474836.47", 2, 80, INT32_MAX, 0, 60, 0, 0, {80, 2, 3, 60, 0, 0}},
        {"top 21474836.47", 2, 80, 0, 0, 60, INT32_MAX, 0, {80, 0, 0, 60, 1, 4}},
        {"lines without end", 2, 80, 0, 0, INT32_MAX, INT32_MAX - 1, 0, {80, 0, 0, 66, 1, 4}},
        {"no paper", 2, 0, 0, 0, 0, 0, 0, {96, 0, 0, 66, 0, 0}},
        {"negative margins", 2, 80, -5, 0, 60, 0, -70, {80, 2, 0, 60, 0, 4}},
        {"previous margins do not fit", 2, 4, 9, 0, 3, 0, 9, {4, 0, 0, 3, 0, 0}},
        {"windows as it is", 0, 21590, 1500, 1000, 27940, 1000, 1000, {21590, 1500, 1000, 27940, 1000, 1000}},
        {"top 300 mm", 0, 21590, 423, 0, 27940, 30000, 0, {21590, 423, 0, 27940, 1000, 1000}},
        {"negative left", 0, 21590, -2000, 2000, 27940, 0, 0, {21590, 1500, 2000, 27940, 0, 0}},
        {"left and right over the paper", 0, 21590, 11000, 11000, 27940, 0, 0, {21590, 1500, 1000, 27940, 0, 0}},
        {"no paper from the printer", 0, 0, 0, 0, -5, 0, 0, {21590, 423, 0, 27940, 0, 0}},
    };
    for (const FallBackCase& c : cases) {
        const bool lpt1 = c.kind == 2;
        PrintSettings previous = lpt1 ? DotMatrixPrintSettings() : BuiltInPrintSettings();
        for (auto [field, lpt1_value, windows_value] :
             {std::tuple{&PrintSettings::paper_width, 96, 21000}, {&PrintSettings::paper_height, 66, 29700},
              {&PrintSettings::left_margin, 2, 1500}, {&PrintSettings::right_margin, 3, 1000},
              {&PrintSettings::top_margin, 1, 1000}, {&PrintSettings::bottom_margin, 4, 1000}}) {
            previous.*field = lpt1 ? lpt1_value : windows_value;
        }
        PrintSettings settings = previous;
        std::tie(settings.paper_width, settings.left_margin, settings.right_margin, settings.paper_height,
                 settings.top_margin, settings.bottom_margin) = std::tie(c.width, c.left, c.right, c.height, c.top, c.bottom);
        const PrintSettings as_read = settings;
        const bool fell_back = FallBackToAcceptablePaper(settings, previous, [](PrintSettings& windows) {
            AdoptPaperFromMetrics(windows, PageMetrics{21590, 27940, 423, 0, 0, 0});
        });
        const std::int32_t got[6] = {settings.paper_width, settings.left_margin, settings.right_margin,
                                     settings.paper_height, settings.top_margin, settings.bottom_margin};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], c.expected[i]) << c.name << ", field " << i;
        EXPECT_EQ(fell_back, std::memcmp(&settings, &as_read, sizeof settings) != 0) << c.name;
    }
    // Another kind's margins do not count: LPT1 after A4 starts from 80 by 60 without margins.
    PrintSettings lpt1 = BuiltInPrintSettings();
    lpt1.printer_kind = kDotMatrixPrinter;
    lpt1.left_margin = 1500;
    EXPECT_TRUE(FallBackToAcceptablePaper(lpt1, BuiltInPrintSettings(), nullptr));
    EXPECT_EQ(lpt1.paper_width, 80);
    EXPECT_EQ(lpt1.paper_height, 60);
    EXPECT_EQ(lpt1.left_margin, 0);
}

TEST(StartupPrinter, MarginsRiseToTheUnprintableStripsOnly) {
    PrintSettings settings = BuiltInPrintSettings();
    settings.left_margin = 0;
    settings.right_margin = 1000;
    settings.top_margin = 423;
    settings.bottom_margin = -1;  // compared unsigned: a huge margin stays
    AdoptPaperFromMetrics(settings, PageMetrics{21590, 27940, 423, 500, 500, 600});
    EXPECT_EQ(settings.paper_width, 21590);
    EXPECT_EQ(settings.paper_height, 27940);
    EXPECT_EQ(settings.left_margin, 423);
    EXPECT_EQ(settings.right_margin, 1000);
    EXPECT_EQ(settings.top_margin, 500);
    EXPECT_EQ(settings.bottom_margin, -1);
}

}  // namespace
