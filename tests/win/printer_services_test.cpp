// Windows printers through the spooler: the default printer, the list, page metrics, contexts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/session_win32.h"
#include "base/file_utils_win32.h"
#include "print/printer_names.h"
#include "print/printer_services_win32.h"

namespace {

std::string DefaultPrinter() {
    char name[260];
    DefaultPrinterName(name, sizeof name);
    return name;
}

// The test environment installs a second printer with other paper and an unprintable strip.
std::string OtherPrinter() {
    for (const std::string& name : ListPrinters()) {
        if (!SamePrinterName(name.c_str(), DefaultPrinter().c_str())) return name;
    }
    return "";
}

PageMetrics MetricsOf(const std::string& printer, bool in_hundredths) {
    HDC info = CreateICA(nullptr, printer.c_str(), nullptr, nullptr);
    const PageMetrics metrics = ReadPageMetrics(info, in_hundredths);
    if (info != nullptr) DeleteDC(info);
    return metrics;
}

TEST(Printers, DefaultPrinterIsListedAndAgreesWithWindows) {
    const std::string name = DefaultPrinter();
    ASSERT_FALSE(name.empty()) << "the test environment has a default printer";
    char windows_default[260] = {};
    DWORD size = sizeof windows_default;
    ASSERT_TRUE(GetDefaultPrinterA(windows_default, &size));
    EXPECT_EQ(name, windows_default);
    const auto printers = ListPrinters();
    EXPECT_GE(printers.size(), 2u);
    EXPECT_NE(std::find(printers.begin(), printers.end(), name), printers.end());

    char cut[4];
    DefaultPrinterName(cut, sizeof cut);
    EXPECT_EQ(std::string(cut), name.substr(0, 3));
}

TEST(Printers, PageMetricsFollowTheDriversCapabilities) {
    const std::string other = OtherPrinter();
    ASSERT_FALSE(other.empty());
    HDC info = CreateICA(nullptr, other.c_str(), nullptr, nullptr);
    ASSERT_NE(info, nullptr);
    const PageMetrics pixels = ReadPageMetrics(info, false);
    EXPECT_EQ(pixels.paper_width, GetDeviceCaps(info, PHYSICALWIDTH));
    EXPECT_EQ(pixels.unprintable_left, GetDeviceCaps(info, PHYSICALOFFSETX));
    EXPECT_EQ(pixels.unprintable_right, pixels.paper_width - GetDeviceCaps(info, HORZRES) -
                                            pixels.unprintable_left);
    const PageMetrics hundredths = ReadPageMetrics(info, true);
    EXPECT_EQ(hundredths.paper_width,
              MulDiv(2540, pixels.paper_width, GetDeviceCaps(info, LOGPIXELSX)));
    EXPECT_EQ(hundredths.unprintable_top,
              MulDiv(2540, pixels.unprintable_top, GetDeviceCaps(info, LOGPIXELSY)));
    DeleteDC(info);
    EXPECT_GT(hundredths.unprintable_left, 0) << "the second printer has an unprintable strip";
    EXPECT_NE(hundredths.paper_width, MetricsOf(DefaultPrinter(), true).paper_width)
        << "the second printer has other paper";

    const PageMetrics none = ReadPageMetrics(nullptr, true);
    EXPECT_EQ(none.paper_width + none.paper_height + none.unprintable_left, 0);
}

TEST(Printers, AdoptingTheDriversPaperRaisesMarginsToTheStrips) {
    const std::string other = OtherPrinter();
    const PageMetrics metrics = MetricsOf(other, true);
    PrintSettings settings = BuiltInPrintSettings();
    settings.printer_kind = kOtherWindowsPrinter;
    std::strcpy(settings.device_name, other.c_str());
    settings.left_margin = 0;
    settings.right_margin = 2500;
    AdoptDriverPaper(settings);
    EXPECT_EQ(settings.paper_width, metrics.paper_width);
    EXPECT_EQ(settings.paper_height, metrics.paper_height);
    EXPECT_EQ(settings.left_margin, metrics.unprintable_left);
    EXPECT_EQ(settings.right_margin, std::max(2500, metrics.unprintable_right));
    EXPECT_EQ(settings.top_margin, metrics.unprintable_top);
}

TEST(Printers, PrinterContextTakesTheOrientationOfTheRecord) {
    SetCurrentPrinterName(DefaultPrinter().c_str());
    PrintSettings settings = BuiltInPrintSettings();
    for (bool landscape : {false, true}) {
        settings.flags = landscape ? kLandscapeFlag : 0;
        for (bool info_only : {true, false}) {
            HDC dc = CreatePrinterDC(settings, info_only);
            ASSERT_NE(dc, nullptr);
            const int width = GetDeviceCaps(dc, PHYSICALWIDTH);
            const int height = GetDeviceCaps(dc, PHYSICALHEIGHT);
            EXPECT_EQ(width > height, landscape) << width << " x " << height;
            DeleteDC(dc);
        }
    }
    SetCurrentPrinterName("No Such Printer");
    EXPECT_EQ(CreatePrinterDC(settings, true), nullptr);
}

TEST(Printers, CurrentNameKeeps259CharactersAndCutsToTheBuffer) {
    const std::string long_name(300, 'n');
    SetCurrentPrinterName(long_name.c_str());
    char full[400];
    CurrentPrinterName(full, sizeof full);
    EXPECT_EQ(std::strlen(full), 259u);
    char small[5];
    CurrentPrinterName(small, sizeof small);
    EXPECT_STREQ(small, "nnnn");
}

TEST(Printers, InfoContextsFollowThePrinterKind) {
    PrintSettings settings = BuiltInPrintSettings();
    std::strcpy(settings.device_name, OtherPrinter().c_str());
    SetPrintSettings(settings);
    RefreshInfoContexts();
    ASSERT_NE(CurrentSession().printer_info, nullptr);
    EXPECT_EQ(GetDeviceCaps(CurrentSession().printer_info, PHYSICALWIDTH),
              MetricsOf(OtherPrinter(), false).paper_width);
    EXPECT_EQ(GetDeviceCaps(CurrentSession().display_info, LOGPIXELSX), 96);

    SetPrintSettings(DotMatrixPrintSettings());
    RefreshInfoContexts();
    EXPECT_EQ(CurrentSession().printer_info, nullptr);
    EXPECT_NE(CurrentSession().display_info, nullptr);
}

TEST(Printers, SavedSecondPrinterComesBackUnchangedOnTheNextStart) {
    char path[MAX_PATH];
    PrinterConfigPath(path);
    PrintSettings chosen = BuiltInPrintSettings();
    chosen.printer_kind = kOtherWindowsPrinter;
    chosen.flags = kLandscapeFlag;
    std::strcpy(chosen.device_name, OtherPrinter().c_str());
    AdoptDriverPaper(chosen);
    chosen.left_margin += 1000;
    SetPrintSettings(chosen);
    ASSERT_TRUE(SavePrintSettings());

    SetPrintSettings(DotMatrixPrintSettings());
    LoadPrinterConfig();
    const PrintSettings loaded = GetPrintSettings();
    EXPECT_EQ(std::memcmp(&loaded, &chosen, sizeof chosen), 0);
    char current[260];
    CurrentPrinterName(current, sizeof current);
    EXPECT_EQ(OtherPrinter(), current);
    DeleteFileA(path);
}

// Run by the end-to-end suite while the spooler is stopped, so that Windows has no printer.
TEST(NoPrinter, DISABLED_StartupChoosesTheDotMatrixPrinterWithoutAPrinterContext) {
    ASSERT_EQ(DefaultPrinter(), "");
    char path[MAX_PATH];
    PrinterConfigPath(path);
    DeleteFileA(path);
    LoadPrinterConfig();
    RefreshInfoContexts();
    const PrintSettings settings = GetPrintSettings();
    EXPECT_EQ(settings.printer_kind, kDotMatrixPrinter);
    EXPECT_EQ(settings.paper_width, 80);
    EXPECT_EQ(settings.paper_height, 60);
    EXPECT_EQ(CurrentSession().printer_info, nullptr);
    EXPECT_NE(CurrentSession().display_info, nullptr);
}

}  // namespace
