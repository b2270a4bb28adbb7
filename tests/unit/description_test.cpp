// The description head: each key's effect on the settings, caption and table font.
#include "formats/description.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Windows as the head sees it: a default printer, and paper that only known printers report.
class FakePrinters : public PrinterDirectory {
public:
    std::string default_name = "PDF";
    int adopted = 0;
    std::string DefaultPrinterName() override { return default_name; }
    void AdoptDriverPaper(PrintSettings& settings) override {
        ++adopted;
        if (std::strcmp(settings.device_name, "PDF") != 0) return;
        AdoptPaperFromMetrics(settings, PageMetrics{21001, 29701, 423, 0, 0, 0});
    }
};

DescriptionState Apply(const std::string& head, DescriptionState state = {}) {
    FakePrinters printers;
    ApplyDescription(head, state, printers);
    return state;
}

DescriptionState DotMatrixState() {
    DescriptionState state;
    state.settings = DotMatrixPrintSettings();
    std::strcpy(state.settings.device_name, "LPT1");
    return state;
}

TEST(DescriptionTitle, NormalisesBlanksAndKeepsCyrillic) {
    EXPECT_STREQ(Apply("windowtitle:   Sales\tby  region  \r\n").window_title, "Sales by region");
    EXPECT_STREQ(Apply("WindowTitle: \xCF\xF0\xEE\xE4\xE0\xE6\xE1\xE8\r\n").window_title,
                 "\xCF\xF0\xEE\xE4\xE0\xE6\xE1\xE8");
    // An empty value keeps the caption; a long one is cut to 255 characters.
    EXPECT_STREQ(Apply("WindowTitle:  \r\n").window_title, "Lintaro 2.0");
    EXPECT_EQ(std::strlen(Apply("WindowTitle: " + std::string(300, 'x')).window_title), 255u);
    // Cutting may leave a trailing blank, which is dropped.
    EXPECT_EQ(std::strlen(Apply("WindowTitle: " + std::string(254, 'x') + " y").window_title),
              254u);
}

TEST(DescriptionPrinter, DotMatrixWordsPickModelAndMode) {
    const DescriptionState epson = Apply("Printer: LPT1, EPSON2, Draft 12\r\n");
    EXPECT_EQ(epson.settings.printer_kind, kDotMatrixPrinter);
    EXPECT_STREQ(epson.settings.device_name, "LPT1");
    EXPECT_EQ(epson.settings.dot_matrix_model, 4);
    EXPECT_EQ(epson.settings.dot_matrix_mode, 2);

    DescriptionState stored = DotMatrixState();
    stored.settings.dot_matrix_model = 5;
    stored.settings.dot_matrix_mode = 3;
    const DescriptionState bare = Apply("Printer: LPT1\r\n", stored);
    EXPECT_EQ(bare.settings.dot_matrix_model, 5);
    EXPECT_EQ(bare.settings.dot_matrix_mode, 3);
    // The list order decides: IBM1 is looked for before EPSON1.
    EXPECT_EQ(Apply("Printer: lpt1 EPSON1 IBM1 pica").settings.dot_matrix_model, 1);
    EXPECT_EQ(Apply("Printer: lpt1 EPSON1 IBM1 pica").settings.dot_matrix_mode, 4);
    // A Windows printer whose name contains LPT1 is the dot-matrix printer.
    EXPECT_EQ(Apply("Printer: Office on LPT1:").settings.printer_kind, kDotMatrixPrinter);
}

TEST(DescriptionPrinter, WindowsPrinters) {
    FakePrinters printers;
    DescriptionState state;
    ApplyDescription("Printer:  Default \r\n", state, printers);
    EXPECT_EQ(state.settings.printer_kind, kDefaultWindowsPrinter);
    EXPECT_STREQ(state.settings.device_name, "PDF");
    EXPECT_EQ(state.settings.paper_width, 21001);

    printers.default_name = "";
    state = {};
    ApplyDescription("Printer: Default", state, printers);
    EXPECT_EQ(state.settings.printer_kind, kDefaultWindowsPrinter);
    EXPECT_STREQ(state.settings.device_name, "");

    // No printer named: print setup would refuse that, so the table keeps its printer.
    const DescriptionState empty = Apply("Printer:\r\n", DotMatrixState());
    EXPECT_EQ(empty.settings.printer_kind, kDotMatrixPrinter);
    EXPECT_STREQ(empty.settings.device_name, "LPT1");

    const DescriptionState named = Apply("Printer:  \tOffice Laser  \r\n");
    EXPECT_EQ(named.settings.printer_kind, kOtherWindowsPrinter);
    EXPECT_STREQ(named.settings.device_name, "Office Laser");
    EXPECT_EQ(std::strlen(Apply("Printer: " + std::string(400, 'p')).settings.device_name), 259u);
}

TEST(DescriptionPage, NumbersAreHundredthsAsWritten) {
    struct Case {
        const char* head;
        std::int32_t width, height, left, top, right, bottom;
    };
    const Case cases[] = {
        {"Page: Width 2.5", 205, 60, 0, 0, 0, 0},
        {"Page: Width 2.50", 250, 60, 0, 0, 0, 0},
        {"Page: Width 0.80, Height 66", 80, 66, 0, 0, 0, 0},
        {"Page: Width, Height 0.97", 97, 97, 0, 0, 0, 0},
        {"Page: Width 2.10, Height 2.97, Left 0.20, Top 0.10, Right 0.10, Bottom 0.5",
         210, 297, 20, 10, 10, 5},
        {"page: LEFT 3\r\nWidth 99", 80, 60, 3, 0, 0, 0},  // the value ends at the line end
        // 32 digits read as 0, and no paper at all keeps the previous width.
        {"Page: Width 12345678901234567890123456789012", 80, 60, 0, 0, 0, 0},
        {"Page: Width 99999999999", 80, 60, 0, 0, 0, 0},  // more than any carriage
    };
    for (const Case& c : cases) {
        const PrintSettings s = Apply(c.head, DotMatrixState()).settings;
        EXPECT_EQ(s.paper_width, c.width) << c.head;
        EXPECT_EQ(s.paper_height, c.height) << c.head;
        EXPECT_EQ(s.left_margin, c.left) << c.head;
        EXPECT_EQ(s.top_margin, c.top) << c.head;
        EXPECT_EQ(s.right_margin, c.right) << c.head;
        EXPECT_EQ(s.bottom_margin, c.bottom) << c.head;
    }
    EXPECT_EQ(ReadPageNumber("Width 99999999999", 0), INT32_MAX);
    EXPECT_EQ(ReadPageNumber("Width 210.5", 0), 21005);
}

TEST(DescriptionPage, WhatPrintSetupWouldRefuseFallsBack) {
    DescriptionState lpt1 = DotMatrixState();
    lpt1.settings.left_margin = 2;
    lpt1.settings.top_margin = 1;
    struct Case {
        const char* head;
        std::int32_t width, height, left, top;
    };
    const Case cases[] = {
        {"Page: Left 21474836.47", 80, 60, 2, 1},  // once an overflow in every line
        {"Page: Top 21474836.47", 80, 60, 2, 1},   // once 2^31 line ends before every page
        {"Page: Height 21474836.47, Top 21474836.00", 80, 60, 2, 1},
        {"Page: Width 1.20, Left 0.05", 120, 60, 5, 1},
    };
    for (const Case& c : cases) {
        const PrintSettings s = Apply(c.head, lpt1).settings;
        EXPECT_EQ(s.paper_width, c.width) << c.head;
        EXPECT_EQ(s.paper_height, c.height) << c.head;
        EXPECT_EQ(s.left_margin, c.left) << c.head;
        EXPECT_EQ(s.top_margin, c.top) << c.head;
    }
    // LPT1 after a Windows printer: 80 by 60 without margins, not A4 counted in characters.
    DescriptionState a4;
    a4.settings.left_margin = 1500;
    const PrintSettings switched = Apply("Printer: LPT1, EPSON1\r\n", a4).settings;
    EXPECT_EQ(switched.paper_width, 80);
    EXPECT_EQ(switched.paper_height, 60);
    EXPECT_EQ(switched.left_margin, 0);
    // A top margin taller than the paper keeps the previous one, raised to the printer's strip.
    a4.settings.top_margin = 1000;
    const PrintSettings tall = Apply("Printer: Default\r\nPage: Left 0.5, Top 300.00", a4).settings;
    EXPECT_EQ(tall.top_margin, 1000);
    EXPECT_EQ(tall.left_margin, 423);
}

TEST(DescriptionPage, WindowsPrintersTakeTheirPaperFromThePrinter) {
    // A known printer reports its paper; margins only rise to its strips.
    const PrintSettings known =
        Apply("Printer: Default\r\nPage: Width 100, Height 100, Left 1.00, Right 9.99").settings;
    EXPECT_EQ(known.paper_width, 21001);
    EXPECT_EQ(known.paper_height, 29701);
    EXPECT_EQ(known.left_margin, 423);
    EXPECT_EQ(known.right_margin, 999);
    // An unknown printer gets A4.
    const PrintSettings unknown = Apply("Printer: Nowhere\r\nPage: Width 100").settings;
    EXPECT_EQ(unknown.paper_width, 21000);
    EXPECT_EQ(unknown.paper_height, 29700);

    // A head without any key still takes the paper of the current Windows printer.
    DescriptionState current;
    std::strcpy(current.settings.device_name, "PDF");
    current.settings.paper_width = 1;
    FakePrinters printers;
    ApplyDescription("no keys here", current, printers);
    EXPECT_EQ(printers.adopted, 1);
    EXPECT_EQ(current.settings.paper_width, 21001);
    // The dot-matrix printer keeps its characters and lines.
    printers.adopted = 0;
    DescriptionState dot = DotMatrixState();
    ApplyDescription("no keys here", dot, printers);
    EXPECT_EQ(printers.adopted, 0);
    EXPECT_EQ(dot.settings.paper_width, 80);
}

TEST(DescriptionFlags, OrientationCodeTableAndPaperFeed) {
    DescriptionState landscape = DotMatrixState();
    landscape.settings.flags = kLandscapeFlag | kDosCyrillicFlag;
    EXPECT_EQ(Apply("Orientation: landscape", DotMatrixState()).settings.flags, kLandscapeFlag);
    EXPECT_EQ(Apply("Orientation: Portrait", landscape).settings.flags, kDosCyrillicFlag);
    EXPECT_EQ(Apply("CodeTable: Windows", landscape).settings.flags, kLandscapeFlag);
    EXPECT_EQ(Apply("CodeTable: dos", DotMatrixState()).settings.flags, kDosCyrillicFlag);
    EXPECT_EQ(Apply("Caption only", landscape).settings.flags, kLandscapeFlag | kDosCyrillicFlag);
    EXPECT_EQ(Apply("PaperFeed: Manual", DotMatrixState()).settings.paper_feed, 0);
    DescriptionState manual = DotMatrixState();
    manual.settings.paper_feed = 0;
    EXPECT_EQ(Apply("PaperFeed: Auto", manual).settings.paper_feed, 1);
    EXPECT_EQ(Apply("", manual).settings.paper_feed, 0);
}

TEST(DescriptionFont, FaceSizeAndBold) {
    DescriptionState bold;
    bold.has_font = true;
    bold.font.style = kFontBold | kFontItalic;
    const FontSpec twelve = Apply("Font: Arial, 12\r\n", bold).font;
    EXPECT_STREQ(twelve.face_name, "Arial");
    EXPECT_EQ(twelve.size, 120);
    EXPECT_EQ(twelve.style, 0u);

    const FontSpec spaced = Apply("Font:  Times New Roman , 10, bold", bold).font;
    EXPECT_STREQ(spaced.face_name, "Times New Roman ");
    EXPECT_EQ(spaced.style, kFontBold);

    for (const char* unusable : {"Font: Arial, 4", "Font: Arial, 101", "Font: Arial 12",
                                 "Font: Arial, , Bold"}) {
        const FontSpec kept = Apply(unusable, bold).font;
        EXPECT_STREQ(kept.face_name, "MS Sans Serif") << unusable;
        EXPECT_EQ(kept.style, kFontBold | kFontItalic) << unusable;
    }
    const std::string long_face = "Font: " + std::string(32, 'f') + ", 10";
    EXPECT_STREQ(Apply(long_face, bold).font.face_name, "MS Sans Serif");
    const std::string longest_face = "Font: " + std::string(31, 'f') + ", 10";
    EXPECT_EQ(std::strlen(Apply(longest_face, bold).font.face_name), 31u);

    DescriptionState no_grid;
    EXPECT_EQ(Apply("Font: Arial, 12", no_grid).font.size, 100);
}

TEST(DescriptionKeys, KeysCountOnlyAtTheStartOfALine) {
    // A caption containing "Page:" is only a caption; a key after a blank is inside a line.
    const DescriptionState state = Apply(
        "WindowTitle: Report Page: Width 0.50\r\n Page: Width 0.70\nPage: Width 0.90\r\n",
        DotMatrixState());
    EXPECT_EQ(state.settings.paper_width, 90);
    EXPECT_STREQ(state.window_title, "Report Page: Width 0.50");
    // Lone CR and lone LF both end a value.
    EXPECT_STREQ(Apply("WindowTitle: One\rTwo").window_title, "One");
    EXPECT_STREQ(Apply("WindowTitle: One\nTwo").window_title, "One");
}

}  // namespace
