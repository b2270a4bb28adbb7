// Tests of the grid's GDI measuring devices with real fonts: they measure as the model expects.
#include "grid/gdi_measuring_device_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "app/grid_host_win32.h"
#include "app/session_win32.h"
#include "grid/grid_win32.h"
#include "grid_test_support.h"

namespace {

using grid_test::ScratchFolder;
using grid_test::TestGridHost;

// The font of that face and size on `dc`, built here by hand rather than through MakeFont.
HFONT MakeReferenceFont(HDC dc, const char* face, int tenths_of_point, bool bold) {
    LOGFONTA font = {};
    font.lfHeight = -MulDiv(tenths_of_point, GetDeviceCaps(dc, LOGPIXELSY), 720);
    font.lfWeight = bold ? FW_BOLD : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(font.lfFaceName, face);
    return CreateFontIndirectA(&font);
}

struct Reference {
    int width;
    int height;
    int font_height;
};

Reference MeasureDirectly(const char* face, int size, bool bold, const std::string& text) {
    const HDC dc = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    const HFONT font = MakeReferenceFont(dc, face, size, bold);
    const HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &extent);
    TEXTMETRICA metrics = {};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    return Reference{extent.cx, extent.cy, metrics.tmHeight};
}

FontSpec FontOf(const char* face, int size, std::uint32_t style = 0) {
    FontSpec font;
    std::memset(font.face_name, 0, sizeof font.face_name);
    std::strcpy(font.face_name, face);
    font.size = size;
    font.style = style;
    return font;
}

HFONT CurrentFont(HDC dc) { return static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT)); }

struct FontCase {
    const char* face;
    int size;
    const char* text;
};

TEST(GridGdiDevice, MeasuresWithTheChosenFontAndItsBoldVariant) {
    const FontCase cases[] = {
        {"MS Sans Serif", 80, "Таблица"},
        {"Arial", 100, "Таблица"},
        {"Arial", 140, "Left header text 1"},
        {"Times New Roman", 120, "Иван Петров Иванов"},
        {"Courier New", 100, "o"},
    };
    TestGridHost host;
    GdiMeasuringDevice device(host, GridDevice::Screen);
    for (const FontCase& c : cases) {
        const std::string text = c.text;
        ASSERT_TRUE(device.SelectFont(FontOf(c.face, c.size))) << c.face;
        const Reference plain = MeasureDirectly(c.face, c.size, false, text);
        const Reference bold = MeasureDirectly(c.face, c.size, true, text);
        const TextExtent measured = device.Meter().Measure(text.data(), text.size());
        EXPECT_EQ(measured.width, plain.width) << c.face << " " << c.size;
        EXPECT_EQ(measured.height, plain.height) << c.face;
        EXPECT_EQ(device.Meter().FontHeight(), plain.font_height) << c.face;
        EXPECT_GT(measured.width, 0);

        device.SelectBold(true);
        EXPECT_EQ(device.Meter().Width(text.data(), text.size()), bold.width) << c.face << " bold";
        device.SelectBold(false);
        EXPECT_EQ(device.Meter().Width(text.data(), text.size()), plain.width) << c.face << " plain again";
        device.ReleaseFont();
    }
}

// Byte widths learnt once must give the very widths GDI gives, on the display and on a printer,
// for cell-like strings of every byte from the blank up.
TEST(GridGdiDevice, LearntWidthsAgreeWithTheDeviceOnScreenAndPrinter) {
    const HDC printer = CreateICA(nullptr, "PDF", nullptr, nullptr);
    ASSERT_NE(printer, nullptr);
    TestGridHost host;
    host.printer = printer;
    const GridDevice devices[] = {GridDevice::Screen, GridDevice::Print};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0x20, 0xFF);
    std::uniform_int_distribution<int> length(1, 60);
    const FontCase fonts[] = {{"Arial", 100, ""}, {"MS Sans Serif", 80, ""}, {"Times New Roman", 125, ""}};
    for (const GridDevice on : devices) {
        for (const FontCase& font : fonts) {
            GdiMeasuringDevice device(host, on);
            ASSERT_TRUE(device.SelectFont(FontOf(font.face, font.size)));
            const HDC dc = on == GridDevice::Screen ? host.DisplayContext() : printer;
            for (int bold = 0; bold < 2; ++bold) {
                device.SelectBold(bold != 0);
                AdvanceTable table;
                table.Learn(GdiTextMeter(dc));
                EXPECT_TRUE(table.Usable()) << font.face << (bold ? " bold" : "");
                for (int i = 0; i < 300; ++i) {
                    std::string text;
                    for (int n = length(random); n > 0; --n) text.push_back(static_cast<char>(byte(random)));
                    SIZE direct = {};
                    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &direct);
                    const TextExtent measured = device.Meter().Measure(text.data(), text.size());
                    ASSERT_EQ(measured.width, direct.cx) << font.face << " " << text;
                    // The byte widths the natural widths add up themselves.
                    const int* advances = device.Meter().ByteAdvances();
                    ASSERT_NE(advances, nullptr) << font.face;
                    int added = 0;
                    for (char c : text) added += advances[static_cast<unsigned char>(c)];
                    ASSERT_EQ(added, direct.cx) << font.face << " " << text;
                    ASSERT_EQ(measured.height, direct.cy) << font.face;
                }
            }
            device.ReleaseFont();
        }
    }
    DeleteDC(printer);
}

TEST(GridGdiDevice, BoldVariantOfABoldFontIsTheFontItself) {
    TestGridHost host;
    GdiMeasuringDevice device(host, GridDevice::Screen);
    ASSERT_TRUE(device.SelectFont(FontOf("Arial", 100, kFontBold)));
    const std::string text = "Сума за плащане";
    const int bold_width = MeasureDirectly("Arial", 100, true, text).width;
    EXPECT_EQ(device.Meter().Width(text.data(), text.size()), bold_width);
    device.SelectBold(true);
    EXPECT_EQ(device.Meter().Width(text.data(), text.size()), bold_width);
    device.ReleaseFont();
}

TEST(GridGdiDevice, ReleaseGivesTheContextItsFontBack) {
    TestGridHost host;
    const HDC dc = host.DisplayContext();
    ASSERT_NE(dc, nullptr);
    const HFONT before = CurrentFont(dc);
    GdiMeasuringDevice device(host, GridDevice::Screen);
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(device.SelectFont(FontOf("Arial", 200)));
        EXPECT_NE(CurrentFont(dc), before);
        device.SelectBold(true);
        device.ReleaseFont();
        EXPECT_EQ(CurrentFont(dc), before);
    }
    // Outside a run the device measures with the context's own font.
    const std::string text = "Таблица";
    SIZE own = {};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &own);
    EXPECT_EQ(device.Meter().Width(text.data(), text.size()), own.cx);
    EXPECT_EQ(device.Meter().PixelsPerInchX(), GetDeviceCaps(dc, LOGPIXELSX));
    EXPECT_EQ(device.Meter().PixelsPerInchY(), GetDeviceCaps(dc, LOGPIXELSY));
}

TEST(GridGdiDevice, PrintMeasuringContextIsThePrinterWhenOneIsOpen) {
    // The session's host: the display opened once and kept, the printer while one is open.
    Session& app = CurrentSession();
    GridHost& session = SessionGridHost();
    const HDC saved = app.printer_info;
    app.printer_info = nullptr;
    EXPECT_EQ(session.PrintMeasuringContext(), session.DisplayContext());
    EXPECT_EQ(session.DisplayContext(), app.display_info);
    EXPECT_NE(app.display_info, nullptr);
    const HDC stand_in = CreateCompatibleDC(nullptr);
    app.printer_info = stand_in;
    EXPECT_EQ(session.PrintMeasuringContext(), stand_in);
    app.printer_info = saved;

    // A device follows the host's context of the moment at the start of each run.
    TestGridHost host;
    GdiMeasuringDevice device(host, GridDevice::Print);
    host.printer = stand_in;
    ASSERT_TRUE(device.SelectFont(FontOf("Arial", 100)));
    EXPECT_NE(CurrentFont(stand_in), GetStockObject(SYSTEM_FONT));
    device.ReleaseFont();
    DeleteDC(stand_in);
}

TEST(GridGdiDevice, PictureSizesComeFromBitmapsInThePictureFolder) {
    ScratchFolder folder("grid_pictures");
    ASSERT_TRUE(grid_test::WriteBytes(folder.File("wide.bmp"), grid_test::GreyBitmap(37, 11)));
    ASSERT_TRUE(grid_test::WriteBytes(folder.File("broken.bmp"), grid_test::Bytes{'B', 'M', 1, 2, 3}));
    TestGridHost host;
    host.picture_folder = folder.path();

    GdiPictureSizes pictures(host);
    PictureSize size{};
    EXPECT_TRUE(pictures.SizeOf("wide.bmp", size));
    EXPECT_EQ(size.width, 37);
    EXPECT_EQ(size.height, 11);
    EXPECT_FALSE(pictures.SizeOf("missing.bmp", size));
    EXPECT_FALSE(pictures.SizeOf("broken.bmp", size));
    EXPECT_FALSE(pictures.SizeOf("", size));
}

TEST(GridGdiDevice, NewGridMeasuresTheDefaultFontOnTheDisplay) {
    TestGridHost host;
    Grid grid(host);
    const Reference no = MeasureDirectly("MS Sans Serif", 100, false, "No");
    const Reference o = MeasureDirectly("MS Sans Serif", 100, false, "o");
    const DeviceMetrics& screen = grid.Model().Metrics(GridDevice::Screen);
    EXPECT_EQ(screen.font_height, no.font_height);
    EXPECT_EQ(screen.text_inset, o.width);
    EXPECT_EQ(grid.Model().Column(0)->width, no.width + o.width + 2);
    // Without a printer the print measuring context is the display.
    EXPECT_EQ(grid.Model().Column(0)->print_width, grid.Model().Column(0)->width);
    const int dpi = GetDeviceCaps(host.DisplayContext(), LOGPIXELSX);
    EXPECT_EQ(screen.page.paper_width, MulDiv(host.settings.paper_width, dpi, 2540));
}

}  // namespace

// The figures the native converter's measuring device reproduces (its unit test holds the same
// table): a change of Wine, its fonts or their rounding shows here first.
TEST(GridGdiDevice, GivesTheFiguresTheNativeDeviceReproduces) {
    const HDC printer = CreateICA(nullptr, "PDF", nullptr, nullptr);
    ASSERT_NE(printer, nullptr);
    TestGridHost host;
    host.printer = printer;
    const struct {
        const char* face;
        int size;
        bool bold;
        GridDevice on;
        int height, chair, cyrillic, ligatures;
    } figures[] = {
        {"Arial", 100, false, GridDevice::Print, 47, 99, 598, 223},
        {"Arial", 100, true, GridDevice::Print, 47, 107, 629, 240},
        {"MS Sans Serif", 80, false, GridDevice::Print, 37, 78, 466, 172},
        {"Times New Roman", 120, true, GridDevice::Screen, 17, 40, 215, 90},
        {"Courier New", 90, false, GridDevice::Screen, 14, 35, 196, 84},
    };
    for (const auto& figure : figures) {
        GdiMeasuringDevice device(host, figure.on);
        ASSERT_TRUE(device.SelectFont(FontOf(figure.face, figure.size, figure.bold ? std::uint32_t{kFontBold} : 0u)));
        const TextMeter& meter = device.Meter();
        EXPECT_EQ(meter.FontHeight(), figure.height) << figure.face;
        EXPECT_EQ(meter.Width("Chair", 5), figure.chair) << figure.face;
        const std::string cyrillic = "Цветелина Тодорова, 9 367.11";
        EXPECT_EQ(meter.Width(cyrillic.data(), cyrillic.size()), figure.cyrillic) << figure.face;
        EXPECT_EQ(meter.Width("AVWTo fi ffl", 12), figure.ligatures) << figure.face;
    }
    // A meter taken before the switch to bold keeps measuring the plain font, on GDI as natively.
    GdiMeasuringDevice device(host, GridDevice::Print);
    ASSERT_TRUE(device.SelectFont(FontOf("MS Sans Serif", 100)));
    const TextMeter& plain = device.Meter();
    device.SelectBold(true);
    EXPECT_EQ(device.Meter().Width("Chair", 5), 107);
    EXPECT_EQ(plain.Width("Chair", 5), 99);
    device.ReleaseFont();
    DeleteDC(printer);
}
