// Loading Printer.cfg from the executable's folder at start-up, and saving it back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "app/session_win32.h"
#include "base/file_utils_win32.h"
#include "print/printer_services_win32.h"

namespace {

std::string ConfigPath() {
    char path[MAX_PATH];
    PrinterConfigPath(path);
    return path;
}

void WriteConfig(const std::vector<unsigned char>& bytes) {
    ASSERT_TRUE(WriteWholeFile(ConfigPath().c_str(), bytes.data(), bytes.size()));
}

std::vector<unsigned char> RecordBytes(const PrintSettings& settings) {
    std::vector<unsigned char> bytes(sizeof settings);
    std::memcpy(bytes.data(), &settings, sizeof settings);
    return bytes;
}

class PrinterConfig : public testing::Test {
protected:
    void SetUp() override { DeleteFileA(ConfigPath().c_str()); }
    void TearDown() override { DeleteFileA(ConfigPath().c_str()); }
};

TEST_F(PrinterConfig, LivesBesideTheExecutable) {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string expected = module;
    expected = expected.substr(0, expected.rfind('\\') + 1) + "Printer.cfg";
    EXPECT_EQ(ConfigPath(), expected);
}

TEST_F(PrinterConfig, DotMatrixRecordOf305BytesContributesItsFirst304) {
    PrintSettings stored = DotMatrixPrintSettings();
    stored.dot_matrix_model = 3;
    stored.dot_matrix_mode = 2;
    stored.paper_width = 96;
    std::strcpy(stored.device_name, "LPT1");
    std::vector<unsigned char> bytes = RecordBytes(stored);
    bytes.push_back(0x7F);
    WriteConfig(bytes);

    LoadPrinterConfig();
    const PrintSettings loaded = GetPrintSettings();
    EXPECT_EQ(std::memcmp(&loaded, &stored, sizeof stored), 0);
    char current[260];
    CurrentPrinterName(current, sizeof current);
    EXPECT_STREQ(current, "LPT1");

    RefreshInfoContexts();
    EXPECT_NE(CurrentSession().display_info, nullptr);
    EXPECT_EQ(CurrentSession().printer_info, nullptr) << "no printer context for the dot-matrix printer";
}

TEST_F(PrinterConfig, ShortFileGivesTheDefaultPrinterWithItsPaper) {
    PrintSettings stored = DotMatrixPrintSettings();
    std::vector<unsigned char> bytes = RecordBytes(stored);
    bytes.resize(303);
    WriteConfig(bytes);

    char default_printer[260];
    DefaultPrinterName(default_printer, sizeof default_printer);
    ASSERT_STRNE(default_printer, "") << "the test environment has a default printer";
    LoadPrinterConfig();
    const PrintSettings loaded = GetPrintSettings();
    EXPECT_EQ(loaded.printer_kind, kDefaultWindowsPrinter);
    EXPECT_STREQ(loaded.device_name, default_printer);
    HDC info = CreateICA(nullptr, default_printer, nullptr, nullptr);
    ASSERT_NE(info, nullptr);
    const int expected_width = MulDiv(2540, GetDeviceCaps(info, PHYSICALWIDTH),
                                      GetDeviceCaps(info, LOGPIXELSX));
    const int expected_height = MulDiv(2540, GetDeviceCaps(info, PHYSICALHEIGHT),
                                       GetDeviceCaps(info, LOGPIXELSY));
    const int expected_left = MulDiv(2540, GetDeviceCaps(info, PHYSICALOFFSETX),
                                     GetDeviceCaps(info, LOGPIXELSX));
    DeleteDC(info);
    EXPECT_EQ(loaded.paper_width, expected_width);
    EXPECT_EQ(loaded.paper_height, expected_height);
    EXPECT_EQ(loaded.left_margin, expected_left);
}

TEST_F(PrinterConfig, WithoutAFileTheDefaultPrinterAndItsPaperAreTaken) {
    SetPrintSettings(DotMatrixPrintSettings());
    LoadPrinterConfig();
    const PrintSettings loaded = GetPrintSettings();
    char default_printer[260];
    DefaultPrinterName(default_printer, sizeof default_printer);
    ASSERT_STRNE(default_printer, "");
    EXPECT_EQ(loaded.printer_kind, kDefaultWindowsPrinter);
    EXPECT_STREQ(loaded.device_name, default_printer);
    HDC info = CreateICA(nullptr, default_printer, nullptr, nullptr);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(loaded.paper_height, MulDiv(2540, GetDeviceCaps(info, PHYSICALHEIGHT),
                                          GetDeviceCaps(info, LOGPIXELSY)));
    DeleteDC(info);
    EXPECT_EQ(GetFileAttributesA(ConfigPath().c_str()), INVALID_FILE_ATTRIBUTES)
        << "loading never writes Printer.cfg";
}

TEST_F(PrinterConfig, UnknownPrinterKeepsItsStoredPaper) {
    PrintSettings stored = BuiltInPrintSettings();
    stored.printer_kind = kOtherWindowsPrinter;
    stored.paper_width = 12345;
    stored.left_margin = 7;
    std::strcpy(stored.device_name, "No Such Printer");
    WriteConfig(RecordBytes(stored));

    LoadPrinterConfig();
    const PrintSettings loaded = GetPrintSettings();
    EXPECT_EQ(loaded.paper_width, 12345);
    EXPECT_EQ(loaded.left_margin, 7);
    EXPECT_STREQ(loaded.device_name, "No Such Printer");
}

TEST_F(PrinterConfig, SavedRecordIsTheCurrentSettingsByteForByte) {
    PrintSettings settings = DotMatrixPrintSettings();
    settings.flags = kDosCyrillicFlag;
    std::strcpy(settings.device_name, "LPT1");
    SetPrintSettings(settings);
    ASSERT_TRUE(SavePrintSettings());

    std::vector<unsigned char> saved;
    ASSERT_TRUE(ReadWholeFile(ConfigPath().c_str(), saved));
    ASSERT_EQ(saved.size(), 304u);
    EXPECT_EQ(std::memcmp(saved.data(), &settings, 304), 0);
}

TEST(MainWindowPlacement, CentresSevenEighthsByThreeQuartersOfTheScreen) {
    const RECT small = MainWindowPlacement(1024, 768);
    EXPECT_EQ(small.left, 64);
    EXPECT_EQ(small.top, 96);
    EXPECT_EQ(small.right - small.left, 896);
    EXPECT_EQ(small.bottom - small.top, 576);
    // Divisions truncate toward zero.
    const RECT odd = MainWindowPlacement(1001, 751);
    EXPECT_EQ(odd.right - odd.left, 875);
    EXPECT_EQ(odd.bottom - odd.top, 563);
    EXPECT_EQ(odd.left, 63);
    EXPECT_EQ(odd.top, 94);
}

}  // namespace
