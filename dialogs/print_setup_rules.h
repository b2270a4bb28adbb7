// What the print setup dialog decides without a window: the option lists, the sizes a change of
// target or print mode brings, and the checks a record must pass before the dialog accepts it.
#ifndef LINTARO_DIALOGS_PRINT_SETUP_RULES_H
#define LINTARO_DIALOGS_PRINT_SETUP_RULES_H

#include <cstdint>
#include <string>

#include "dialogs/dialog_helpers.h"
#include "print/paper_rules.h"
#include "base/print_settings.h"

// Keys are stored as they stand: printer kind, orientation (2 sets the landscape bit), the
// dot-matrix model and print mode.
extern const OptionEntry kPrintTargetOptions[];
extern const OptionEntry kOrientationOptions[];
extern const OptionEntry kDotMatrixTypeOptions[];  // 0, 3, 1: unknown first, as offered
extern const OptionEntry kPrintModeOptions[];

// Orientation keys.
enum : std::int32_t {
    kPortraitKey = 1,
    kLandscapeKey = 2,
};

// The unit caption over the six size fields.
const char* PaperUnitCaption(std::int32_t target);

// The six size fields of the dialog, in the record's units for the target (hundredths of a
// millimetre for Windows printers, characters and lines for the dot-matrix printer).
struct PaperFields {
    std::int32_t width = 0;
    std::int32_t left = 0;
    std::int32_t right = 0;
    std::int32_t height = 0;
    std::int32_t top = 0;
    std::int32_t bottom = 0;
};

PaperFields PaperFieldsOf(const PrintSettings& settings);
void StorePaperFields(PrintSettings& settings, const PaperFields& fields);

// A change of target: into the dot-matrix printer from a Windows printer gives 80 characters by
// 60 lines, out of it A4 portrait, margins 0 both ways; between the two Windows targets the sizes
// stay. The record then holds the new target. Returns true when the sizes were reset (the
// dialog shows them again).
bool SwitchPrintTarget(PrintSettings& settings, std::int32_t target);

// Characters per line of a dot-matrix print mode: 96 for Draft 12 (2) and Elite 12 (5), 137 for
// Compression (3), 80 otherwise.
std::int32_t CharactersPerLineOfMode(std::int32_t mode);

// A mode picked in the list: when it differs from the record's, the record takes it and its
// paper width becomes the mode's characters per line; true then. The same mode changes nothing.
bool ChangePrintMode(PrintSettings& settings, std::int32_t mode);

// A selected printer's paper in the fields: its physical width and height, and every margin
// narrower than the printer's unprintable strip on its side raised to that strip (all in
// hundredths of a millimetre).
PaperFields AdoptPrinterPaper(const PaperFields& fields, const PageMetrics& printer);

// The margins leave some width and some height to print on.
bool MarginsLeavePrintableArea(const PaperFields& fields);

// The first margin, in the order left, right, top, bottom, that is narrower than the printer's
// unprintable strip on its side.
enum class MarginSide { None, Left, Right, Top, Bottom };
struct MarginShortfall {
    MarginSide side = MarginSide::None;
    std::int32_t minimum = 0;  // the strip, hundredths of a millimetre
};
MarginShortfall FindMarginBelowStrip(const PaperFields& fields, const PageMetrics& printer);

// The six size fields, for the refusal of a number one of them cannot hold.
enum class PaperField { Width, Left, Right, Height, Top, Bottom };

// Whether a size field holds a 32-bit value: a Windows printer's field holds any; a dot-matrix
// field no more than kMostDotMatrixCount characters or lines.
bool PaperFieldHolds(std::int32_t target, std::int32_t value);

// The two lines that refuse a number a size field cannot hold, such as "Лявото поле не може да
// бъде" and "по-голямо от 21474836.47 милиметра !" (or "по-малко от 0.00 милиметра !" for one
// below the field's range); on the dot-matrix printer in characters or lines ("999 знака").
const char* PaperFieldRefusalFirstLine(PaperField field);
std::string PaperFieldRefusalSecondLine(std::int32_t target, PaperField field, bool too_small);

// The dot-matrix printer has no strip, but its margins count characters and lines: the first
// negative one, in the same order, with minimum 0.
MarginShortfall FindNegativeMargin(const PaperFields& fields);

// The two lines that refuse a margin: "Лявото поле не може да бъде" (and the right, top and
// bottom ones), then "по-малко от 6.35 милиметра !" for a minimum of 635.
const char* MarginRefusalFirstLine(MarginSide side);
std::string MarginRefusalSecondLine(std::int32_t minimum);
// The second line for a negative dot-matrix margin: "по-малко от 0 знака !" at the left and
// right, "по-малко от 0 реда !" at the top and bottom.
const char* CountMarginRefusalSecondLine(MarginSide side);

#endif
