// The native measuring device gives the numbers Wine's GDI gives for the same fonts: the figures
// below were read from GetTextMetrics and GetTextExtentPoint32 on the test printer (300 dpi) and
// the display (96 dpi) under Wine.
#include "convert/native_measuring_device.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

struct WineFigures {
    const char* face;
    int size;  // tenths of a point
    bool bold;
    int pixels_per_inch;
    bool display;
    int height;
    int chair;     // "Chair"
    int cyrillic;  // "Цветелина Тодорова, 9 367.11"
    int ligatures; // "AVWTo fi ffl"
};

const WineFigures kFigures[] = {
    {"Arial", 100, false, 300, false, 47, 99, 598, 223},
    {"Arial", 100, true, 300, false, 47, 107, 629, 240},
    {"Times New Roman", 100, false, 300, false, 46, 94, 541, 235},
    {"Times New Roman", 120, true, 300, false, 56, 125, 674, 285},
    {"Courier New", 90, false, 300, false, 43, 115, 644, 276},
    {"MS Sans Serif", 80, false, 300, false, 37, 78, 466, 172},
    {"ms sans serif", 100, true, 300, false, 47, 107, 629, 240},
    {"Arial", 100, false, 96, true, 15, 30, 186, 71},
    {"Times New Roman", 120, true, 96, true, 17, 40, 215, 90},
    {"Courier New", 90, false, 96, true, 14, 35, 196, 84},
};

int Width(const TextMeter& meter, const char* text) { return meter.Width(text, std::strlen(text)); }

// The width of `text` added up from the meter's byte advances, as the grid adds them.
int AddedUp(const TextMeter& meter, const char* text) {
    const int* advances = meter.ByteAdvances();
    if (advances == nullptr) return -1;
    int width = 0;
    for (const char* at = text; *at != '\0'; ++at) width += advances[static_cast<unsigned char>(*at)];
    return width;
}

}  // namespace

TEST(NativeMeasuringDevice, MeasuresAsWineDoesOnThePrinterAndTheDisplay) {
    for (const WineFigures& figures : kFigures) {
        SCOPED_TRACE(std::string(figures.face) + " " + std::to_string(figures.size) + (figures.bold ? " bold @" : " @") +
                     std::to_string(figures.pixels_per_inch));
        NativeMeasuringDevice device(figures.pixels_per_inch, figures.display);
        FontSpec font;
        std::strcpy(font.face_name, figures.face);
        font.size = figures.size;
        font.style = figures.bold ? std::uint32_t{kFontBold} : 0u;
        FontRun run(device, font);
        const TextMeter& meter = device.Meter();
        EXPECT_EQ(meter.FontHeight(), figures.height);
        EXPECT_EQ(meter.Measure("Chair", 5).height, figures.height);
        EXPECT_EQ(Width(meter, "Chair"), figures.chair);
        EXPECT_EQ(Width(meter, "Цветелина Тодорова, 9 367.11"), figures.cyrillic);
        EXPECT_EQ(Width(meter, "AVWTo fi ffl"), figures.ligatures);
        EXPECT_EQ(AddedUp(meter, "Chair"), figures.chair);
        EXPECT_EQ(AddedUp(meter, "Цветелина Тодорова, 9 367.11"), figures.cyrillic);
        EXPECT_EQ(AddedUp(meter, "AVWTo fi ffl"), figures.ligatures);
        EXPECT_EQ(meter.PixelsPerInchY(), figures.pixels_per_inch);
    }
}

TEST(NativeMeasuringDevice, BoldVariantAndDisplayBitmapSansSerif) {
    NativeMeasuringDevice printer(300, false);
    FontRun run(printer, FontSpec{});  // MS Sans Serif 10 pt
    EXPECT_EQ(Width(printer.Meter(), "Chair"), 99);
    const TextMeter& plain = printer.Meter();
    printer.SelectBold(true);
    EXPECT_EQ(Width(printer.Meter(), "Chair"), 107);
    // As with the GDI device, a meter taken before the switch still measures the plain font.
    EXPECT_EQ(Width(plain, "Chair"), 99);
    EXPECT_EQ(AddedUp(plain, "Chair"), 99);
    EXPECT_EQ(AddedUp(printer.Meter(), "Chair"), 107);
    printer.SelectBold(false);
    EXPECT_EQ(Width(printer.Meter(), "Chair"), 99);

    // On Wine's display MS Sans Serif is a bitmap font of three cell heights.
    NativeMeasuringDevice display(96, true);
    for (const auto& [size, height] : {std::pair{80, 13}, {100, 16}, {120, 20}}) {
        FontSpec font;
        font.size = size;
        FontRun display_run(display, font);
        EXPECT_EQ(display.Meter().FontHeight(), height) << size;
    }
}

TEST(NativeMeasuringDevice, AFontFileThatCannotBeReadIsRefused) {
    NativeMeasuringDevice device(300, false, "/nonexistent-font-folder");
    EXPECT_FALSE(device.SelectFont(FontSpec{}));
    EXPECT_EQ(device.Meter().Width("Chair", 5), 0);
    EXPECT_EQ(NativeFontFile("/f", "Courier New", true, true), "/f/LiberationMono-BoldItalic.ttf");
    EXPECT_EQ(NativeFontFile("/f", "Verdana", false, false), "/f/LiberationSans-Regular.ttf");
}
