// The print setup dialog's rules: option lists, resets on a change of target or mode, checks.
#include "dialogs/print_setup_rules.h"

#include <cstdio>

const OptionEntry kPrintTargetOptions[] = {
    {kDefaultWindowsPrinter, "Принтерът, избран в Windows"},
    {kOtherWindowsPrinter, "Друг принтер под Windows"},
    {kDotMatrixPrinter, "LPT1: (матричен принтер)"},
    {0, nullptr},
};

const OptionEntry kOrientationOptions[] = {
    {kPortraitKey, "Портрет"},
    {kLandscapeKey, "Пейзаж"},
    {0, nullptr},
};

const OptionEntry kDotMatrixTypeOptions[] = {
    {0, "Неизвестен"},
    {3, "EPSON Емулация"},
    {1, "IBM Емулация"},
    {0, nullptr},
};

const OptionEntry kPrintModeOptions[] = {
    {0, "Не се управлява"},
    {1, "Draft 10"},
    {2, "Draft 12"},
    {3, "Compression"},
    {0, nullptr},
};

const char* PaperUnitCaption(std::int32_t target) {
    return target == kDotMatrixPrinter ? "(брой знаци, брой редове)" : "(задават се в милиметри)";
}

PaperFields PaperFieldsOf(const PrintSettings& settings) {
    PaperFields fields;
    fields.width = settings.paper_width;
    fields.left = settings.left_margin;
    fields.right = settings.right_margin;
    fields.height = settings.paper_height;
    fields.top = settings.top_margin;
    fields.bottom = settings.bottom_margin;
    return fields;
}

void StorePaperFields(PrintSettings& settings, const PaperFields& fields) {
    settings.paper_width = fields.width;
    settings.left_margin = fields.left;
    settings.right_margin = fields.right;
    settings.paper_height = fields.height;
    settings.top_margin = fields.top;
    settings.bottom_margin = fields.bottom;
}

bool SwitchPrintTarget(PrintSettings& settings, std::int32_t target) {
    const bool was_dot_matrix = settings.printer_kind == kDotMatrixPrinter;
    const bool is_dot_matrix = target == kDotMatrixPrinter;
    bool reset = false;
    if (is_dot_matrix && !was_dot_matrix) {
        PaperFields fields;
        fields.width = 80;
        fields.height = 60;
        StorePaperFields(settings, fields);
        reset = true;
    } else if (!is_dot_matrix && was_dot_matrix) {
        PaperFields fields;
        fields.width = 21000;
        fields.height = 29700;
        StorePaperFields(settings, fields);
        reset = true;
    }
    settings.printer_kind = target;
    return reset;
}

std::int32_t CharactersPerLineOfMode(std::int32_t mode) {
    switch (mode) {
        case 2:
        case 5: return 96;
        case 3: return 137;
        default: return 80;
    }
}

bool ChangePrintMode(PrintSettings& settings, std::int32_t mode) {
    if (mode == settings.dot_matrix_mode) return false;
    settings.dot_matrix_mode = mode;
    settings.paper_width = CharactersPerLineOfMode(mode);
    return true;
}

PaperFields AdoptPrinterPaper(const PaperFields& fields, const PageMetrics& printer) {
    PaperFields adopted = fields;
    adopted.width = printer.paper_width;
    adopted.height = printer.paper_height;
    if (adopted.left < printer.unprintable_left) adopted.left = printer.unprintable_left;
    if (adopted.right < printer.unprintable_right) adopted.right = printer.unprintable_right;
    if (adopted.top < printer.unprintable_top) adopted.top = printer.unprintable_top;
    if (adopted.bottom < printer.unprintable_bottom) adopted.bottom = printer.unprintable_bottom;
    return adopted;
}

bool MarginsLeavePrintableArea(const PaperFields& fields) {
    // 64-bit sums: two typed margins near the 32-bit limit must not wrap into a small number.
    return static_cast<std::int64_t>(fields.left) + fields.right < fields.width &&
           static_cast<std::int64_t>(fields.top) + fields.bottom < fields.height;
}

MarginShortfall FindMarginBelowStrip(const PaperFields& fields, const PageMetrics& printer) {
    const struct {
        MarginSide side;
        std::int32_t margin;
        std::int32_t strip;
    } sides[] = {
        {MarginSide::Left, fields.left, printer.unprintable_left},
        {MarginSide::Right, fields.right, printer.unprintable_right},
        {MarginSide::Top, fields.top, printer.unprintable_top},
        {MarginSide::Bottom, fields.bottom, printer.unprintable_bottom},
    };
    for (const auto& side : sides) {
        if (side.margin < side.strip) return MarginShortfall{side.side, side.strip};
    }
    return MarginShortfall{};
}

MarginShortfall FindNegativeMargin(const PaperFields& fields) {
    return FindMarginBelowStrip(fields, PageMetrics{});
}

const char* MarginRefusalFirstLine(MarginSide side) {
    switch (side) {
        case MarginSide::Left: return "Лявото поле не може да бъде";
        case MarginSide::Right: return "Дясното поле не може да бъде";
        case MarginSide::Top: return "Горното поле не може да бъде";
        case MarginSide::Bottom: return "Долното поле не може да бъде";
        case MarginSide::None: break;
    }
    return "";
}

const char* CountMarginRefusalSecondLine(MarginSide side) {
    return side == MarginSide::Top || side == MarginSide::Bottom ? "по-малко от 0 реда !" : "по-малко от 0 знака !";
}

std::string MarginRefusalSecondLine(std::int32_t minimum) {
    char text[64];
    std::snprintf(text, sizeof text, "по-малко от %d.%02d милиметра !", minimum / 100,
                  minimum % 100);
    return text;
}

bool PaperFieldHolds(std::int32_t target, std::int32_t value) {
    return target != kDotMatrixPrinter || value <= kMostDotMatrixCount;
}

const char* PaperFieldRefusalFirstLine(PaperField field) {
    switch (field) {
        case PaperField::Width: return "Ширината не може да бъде";
        case PaperField::Height: return "Височината не може да бъде";
        case PaperField::Left: return MarginRefusalFirstLine(MarginSide::Left);
        case PaperField::Right: return MarginRefusalFirstLine(MarginSide::Right);
        case PaperField::Top: return MarginRefusalFirstLine(MarginSide::Top);
        case PaperField::Bottom: return MarginRefusalFirstLine(MarginSide::Bottom);
    }
    return "";
}

std::string PaperFieldRefusalSecondLine(std::int32_t target, PaperField field, bool too_small) {
    // "Ширината" and "Височината" are feminine, the margins' "полето" neuter.
    const bool feminine = field == PaperField::Width || field == PaperField::Height;
    const char* comparison = too_small ? (feminine ? "по-малка" : "по-малко")
                                       : (feminine ? "по-голяма" : "по-голямо");
    const bool across = field == PaperField::Width || field == PaperField::Left || field == PaperField::Right;
    char text[80];
    if (target == kDotMatrixPrinter) {
        std::snprintf(text, sizeof text, "%s от %d %s !", comparison, too_small ? 0 : kMostDotMatrixCount,
                      across ? "знака" : "реда");
    } else {
        std::snprintf(text, sizeof text, "%s от %s милиметра !", comparison, too_small ? "0.00" : "21474836.47");
    }
    return text;
}
