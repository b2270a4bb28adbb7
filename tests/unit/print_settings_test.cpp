// The Printer.cfg record: its byte image, defaults and the start-up adjustments.
#include "print/print_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

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
