// Tests of the print setup dialog's rules: target switching, mode widths, printer paper, checks.
#include "dialogs/print_setup_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PrintSettings Record(std::int32_t kind, PaperFields fields) {
    PrintSettings settings{};
    settings.printer_kind = kind;
    StorePaperFields(settings, fields);
    return settings;
}

PaperFields Fields(std::int32_t width, std::int32_t left, std::int32_t right, std::int32_t height,
                   std::int32_t top, std::int32_t bottom) {
    PaperFields fields;
    fields.width = width;
    fields.left = left;
    fields.right = right;
    fields.height = height;
    fields.top = top;
    fields.bottom = bottom;
    return fields;
}

void ExpectFields(const PrintSettings& settings, const PaperFields& expected) {
    const PaperFields actual = PaperFieldsOf(settings);
    EXPECT_EQ(actual.width, expected.width);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.height, expected.height);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

struct SwitchCase {
    std::int32_t from;
    std::int32_t to;
    bool reset;
    PaperFields expected;
};

TEST(SwitchPrintTarget, ResetsSizesOnlyBetweenWindowsPrintersAndTheDotMatrixPrinter) {
    const PaperFields windows_paper = Fields(21590, 423, 500, 27940, 1000, 1200);
    const PaperFields dot_matrix_paper = Fields(137, 2, 3, 72, 1, 2);
    const std::vector<SwitchCase> cases = {
        {kDefaultWindowsPrinter, kDotMatrixPrinter, true, Fields(80, 0, 0, 60, 0, 0)},
        {kOtherWindowsPrinter, kDotMatrixPrinter, true, Fields(80, 0, 0, 60, 0, 0)},
        {kDotMatrixPrinter, kDefaultWindowsPrinter, true, Fields(21000, 0, 0, 29700, 0, 0)},
        {kDotMatrixPrinter, kOtherWindowsPrinter, true, Fields(21000, 0, 0, 29700, 0, 0)},
        {kDefaultWindowsPrinter, kOtherWindowsPrinter, false, windows_paper},
        {kOtherWindowsPrinter, kDefaultWindowsPrinter, false, windows_paper},
        {kDefaultWindowsPrinter, kDefaultWindowsPrinter, false, windows_paper},
        {kDotMatrixPrinter, kDotMatrixPrinter, false, dot_matrix_paper},
    };
    for (const SwitchCase& test : cases) {
        SCOPED_TRACE(std::to_string(test.from) + " -> " + std::to_string(test.to));
        const PaperFields before = test.from == kDotMatrixPrinter ? dot_matrix_paper : windows_paper;
        PrintSettings settings = Record(test.from, before);
        settings.flags = kLandscapeFlag | kDosCyrillicFlag;
        settings.dot_matrix_mode = 2;
        EXPECT_EQ(SwitchPrintTarget(settings, test.to), test.reset);
        EXPECT_EQ(settings.printer_kind, test.to);
        ExpectFields(settings, test.expected);
        // Nothing but the target and the sizes changes.
        EXPECT_EQ(settings.flags, kLandscapeFlag | kDosCyrillicFlag);
        EXPECT_EQ(settings.dot_matrix_mode, 2);
    }
}

TEST(PaperUnitCaption, MillimetresForWindowsPrintersCountsForTheDotMatrixPrinter) {
    EXPECT_STREQ(PaperUnitCaption(kDefaultWindowsPrinter), "(задават се в милиметри)");
    EXPECT_STREQ(PaperUnitCaption(kOtherWindowsPrinter), "(задават се в милиметри)");
    EXPECT_STREQ(PaperUnitCaption(kDotMatrixPrinter), "(брой знаци, брой редове)");
}

TEST(CharactersPerLineOfMode, Draft12AndElite12Are96CompressionIs137OthersAre80) {
    const std::vector<std::pair<std::int32_t, std::int32_t>> cases = {
        {0, 80}, {1, 80}, {2, 96}, {3, 137}, {4, 80}, {5, 96}, {6, 80}, {-1, 80},
    };
    for (const auto& [mode, characters] : cases) {
        EXPECT_EQ(CharactersPerLineOfMode(mode), characters) << "mode " << mode;
    }
}

TEST(ChangePrintMode, AnotherModeSetsTheWidthTheSameModeChangesNothing) {
    PrintSettings settings = Record(kDotMatrixPrinter, Fields(80, 2, 0, 60, 1, 2));
    settings.dot_matrix_mode = 1;
    EXPECT_TRUE(ChangePrintMode(settings, 2));
    EXPECT_EQ(settings.dot_matrix_mode, 2);
    EXPECT_EQ(settings.paper_width, 96);
    EXPECT_TRUE(ChangePrintMode(settings, 3));
    EXPECT_EQ(settings.paper_width, 137);
    EXPECT_TRUE(ChangePrintMode(settings, 0));
    EXPECT_EQ(settings.paper_width, 80);
    // The stored mode again: a width typed by hand stays.
    settings.paper_width = 120;
    EXPECT_FALSE(ChangePrintMode(settings, 0));
    EXPECT_EQ(settings.paper_width, 120);
    ExpectFields(settings, Fields(120, 2, 0, 60, 1, 2));
}

TEST(AdoptPrinterPaper, TakesThePaperSizeAndRaisesOnlyNarrowerMargins) {
    PageMetrics letter{21590, 27940, 423, 0, 0, 0};
    const PaperFields adopted = AdoptPrinterPaper(Fields(21000, 0, 1000, 29700, 500, 0), letter);
    EXPECT_EQ(adopted.width, 21590);
    EXPECT_EQ(adopted.height, 27940);
    EXPECT_EQ(adopted.left, 423);
    EXPECT_EQ(adopted.right, 1000);
    EXPECT_EQ(adopted.top, 500);
    EXPECT_EQ(adopted.bottom, 0);

    PageMetrics strips{21000, 29700, 635, 700, 420, 1270};
    const PaperFields raised = AdoptPrinterPaper(Fields(1, 635, 699, 2, 1000, 1269), strips);
    EXPECT_EQ(raised.left, 635);  // equal is wide enough
    EXPECT_EQ(raised.right, 700);
    EXPECT_EQ(raised.top, 1000);
    EXPECT_EQ(raised.bottom, 1270);
}

TEST(MarginsLeavePrintableArea, BothMarginPairsMustLeaveSomething) {
    EXPECT_TRUE(MarginsLeavePrintableArea(Fields(21000, 1000, 1000, 29700, 1000, 1000)));
    EXPECT_TRUE(MarginsLeavePrintableArea(Fields(21000, 10500, 10499, 29700, 0, 0)));
    EXPECT_FALSE(MarginsLeavePrintableArea(Fields(21000, 10500, 10500, 29700, 0, 0)));
    EXPECT_FALSE(MarginsLeavePrintableArea(Fields(21000, 0, 0, 29700, 29700, 0)));
    EXPECT_FALSE(MarginsLeavePrintableArea(Fields(80, 0, 0, 0, 0, 0)));
    // Margins whose 32-bit sum would wrap are still refused.
    EXPECT_FALSE(MarginsLeavePrintableArea(Fields(21000, 2147483647, 2, 29700, 0, 0)));
}

struct ShortfallCase {
    PaperFields fields;
    MarginSide side;
    std::int32_t minimum;
};

TEST(FindMarginBelowStrip, ChecksLeftRightTopBottomInThatOrder) {
    const PageMetrics strips{21000, 29700, 635, 500, 420, 1270};
    const std::vector<ShortfallCase> cases = {
        {Fields(21000, 635, 500, 29700, 420, 1270), MarginSide::None, 0},
        {Fields(21000, 100, 0, 29700, 0, 0), MarginSide::Left, 635},
        {Fields(21000, 635, 499, 29700, 0, 0), MarginSide::Right, 500},
        {Fields(21000, 700, 600, 29700, 419, 0), MarginSide::Top, 420},
        {Fields(21000, 700, 600, 29700, 420, 1269), MarginSide::Bottom, 1270},
        {Fields(21000, -1, 0, 29700, 0, 0), MarginSide::Left, 635},
    };
    for (const ShortfallCase& test : cases) {
        const MarginShortfall found = FindMarginBelowStrip(test.fields, strips);
        EXPECT_EQ(found.side, test.side);
        EXPECT_EQ(found.minimum, test.minimum);
    }
    // A printer without strips accepts every margin that is not negative.
    EXPECT_EQ(FindMarginBelowStrip(Fields(21000, 0, 0, 29700, 0, 0), PageMetrics{}).side,
              MarginSide::None);
}

TEST(FindNegativeMargin, DotMatrixMarginsFromZeroUpInTheSameOrder) {
    const std::vector<ShortfallCase> cases = {
        {Fields(80, 0, 0, 60, 0, 0), MarginSide::None, 0},
        {Fields(80, 79, 0, 60, 0, 59), MarginSide::None, 0},
        {Fields(80, -5, 0, 60, -3, -70), MarginSide::Left, 0},
        {Fields(80, 0, -1, 60, -3, 0), MarginSide::Right, 0},
        {Fields(80, 0, 0, 60, -3, -70), MarginSide::Top, 0},
        {Fields(80, 0, 0, 60, 0, INT32_MIN), MarginSide::Bottom, 0},
    };
    for (const ShortfallCase& test : cases) {
        const MarginShortfall found = FindNegativeMargin(test.fields);
        EXPECT_EQ(found.side, test.side);
        EXPECT_EQ(found.minimum, test.minimum);
    }
    EXPECT_STREQ(CountMarginRefusalSecondLine(MarginSide::Left), "по-малко от 0 знака !");
    EXPECT_STREQ(CountMarginRefusalSecondLine(MarginSide::Right), "по-малко от 0 знака !");
    EXPECT_STREQ(CountMarginRefusalSecondLine(MarginSide::Top), "по-малко от 0 реда !");
    EXPECT_STREQ(CountMarginRefusalSecondLine(MarginSide::Bottom), "по-малко от 0 реда !");
}

TEST(MarginRefusal, NamesTheSideAndTheMinimumInMillimetres) {
    EXPECT_STREQ(MarginRefusalFirstLine(MarginSide::Left), "Лявото поле не може да бъде");
    EXPECT_STREQ(MarginRefusalFirstLine(MarginSide::Right), "Дясното поле не може да бъде");
    EXPECT_STREQ(MarginRefusalFirstLine(MarginSide::Top), "Горното поле не може да бъде");
    EXPECT_STREQ(MarginRefusalFirstLine(MarginSide::Bottom), "Долното поле не може да бъде");
    EXPECT_EQ(MarginRefusalSecondLine(635), "по-малко от 6.35 милиметра !");
    EXPECT_EQ(MarginRefusalSecondLine(423), "по-малко от 4.23 милиметра !");
    EXPECT_EQ(MarginRefusalSecondLine(1000), "по-малко от 10.00 милиметра !");
    EXPECT_EQ(MarginRefusalSecondLine(7), "по-малко от 0.07 милиметра !");
}

TEST(PaperFieldRefusal, NamesTheFieldAndWhatItHolds) {
    EXPECT_TRUE(PaperFieldHolds(kDefaultWindowsPrinter, INT32_MAX));
    EXPECT_TRUE(PaperFieldHolds(kDotMatrixPrinter, 999));
    EXPECT_FALSE(PaperFieldHolds(kDotMatrixPrinter, 1000));
    EXPECT_STREQ(PaperFieldRefusalFirstLine(PaperField::Width), "Ширината не може да бъде");
    EXPECT_STREQ(PaperFieldRefusalFirstLine(PaperField::Height), "Височината не може да бъде");
    EXPECT_STREQ(PaperFieldRefusalFirstLine(PaperField::Top), "Горното поле не може да бъде");
    EXPECT_EQ(PaperFieldRefusalSecondLine(kOtherWindowsPrinter, PaperField::Left, false),
              "по-голямо от 21474836.47 милиметра !");
    EXPECT_EQ(PaperFieldRefusalSecondLine(kDefaultWindowsPrinter, PaperField::Bottom, true),
              "по-малко от 0.00 милиметра !");
    EXPECT_EQ(PaperFieldRefusalSecondLine(kDotMatrixPrinter, PaperField::Width, false), "по-голяма от 999 знака !");
    EXPECT_EQ(PaperFieldRefusalSecondLine(kDotMatrixPrinter, PaperField::Top, false), "по-голямо от 999 реда !");
    EXPECT_EQ(PaperFieldRefusalSecondLine(kDotMatrixPrinter, PaperField::Height, true), "по-малка от 0 реда !");
}

TEST(PrintSetupOptions, ListTheOfferedKeysInOrder) {
    const std::vector<std::int32_t> targets = {0, 1, 2};
    const std::vector<std::int32_t> models = {0, 3, 1};
    const std::vector<std::int32_t> modes = {0, 1, 2, 3};
    auto keys = [](const OptionEntry* table) {
        std::vector<std::int32_t> result;
        for (int i = 0; table[i].text != nullptr; ++i) result.push_back(table[i].key);
        return result;
    };
    EXPECT_EQ(keys(kPrintTargetOptions), targets);
    EXPECT_EQ(keys(kDotMatrixTypeOptions), models);
    EXPECT_EQ(keys(kPrintModeOptions), modes);
    EXPECT_EQ(keys(kOrientationOptions), (std::vector<std::int32_t>{kPortraitKey, kLandscapeKey}));
    EXPECT_STREQ(kPrintTargetOptions[2].text, "LPT1: (матричен принтер)");
    EXPECT_STREQ(kDotMatrixTypeOptions[1].text, "EPSON Емулация");
    EXPECT_STREQ(kPrintModeOptions[3].text, "Compression");
}

}  // namespace
