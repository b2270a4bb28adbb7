// The paper and margins a record may hold, and the fall-back for records from outside the dialog.
#include "print/paper_rules.h"

#include <initializer_list>

namespace {

bool DotMatrixPaperHolds(std::int32_t count) {
    return count >= 1 && count <= kMostDotMatrixCount;
}

void Adopt(PrintSettings& settings, const AdoptPaper& adopt_paper) {
    if (settings.printer_kind != kDotMatrixPrinter && adopt_paper) adopt_paper(settings);
}

// One side of the paper: its size and the two margins across it.
struct PaperSide {
    std::int32_t PrintSettings::*paper;
    std::int32_t PrintSettings::*first_margin;
    std::int32_t PrintSettings::*second_margin;
};

constexpr PaperSide kPaperSides[] = {
    {&PrintSettings::paper_width, &PrintSettings::left_margin, &PrintSettings::right_margin},
    {&PrintSettings::paper_height, &PrintSettings::top_margin, &PrintSettings::bottom_margin},
};

bool SideLeavesRoom(const PrintSettings& settings, const PaperSide& side) {
    return MarginsLeaveRoom(settings.*side.paper, settings.*side.first_margin, settings.*side.second_margin);
}

}  // namespace

bool MarginsLeaveRoom(std::int32_t paper, std::int32_t first_margin, std::int32_t second_margin) {
    // 64 bits: two margins near the 32-bit limit must not wrap into a small sum.
    return first_margin >= 0 && second_margin >= 0 &&
           static_cast<std::int64_t>(first_margin) + second_margin < paper;
}

bool FallBackToAcceptablePaper(PrintSettings& settings, const PrintSettings& previous, const AdoptPaper& adopt_paper) {
    bool fell_back = false;
    const bool dot_matrix = settings.printer_kind == kDotMatrixPrinter;
    // Margins in characters mean nothing on a Windows printer's paper, nor hundredths on LPT1.
    const bool same_units = dot_matrix == (previous.printer_kind == kDotMatrixPrinter);
    if (dot_matrix) {
        const PrintSettings defaults = DotMatrixPrintSettings();
        for (std::int32_t PrintSettings::*size : {&PrintSettings::paper_width, &PrintSettings::paper_height}) {
            if (DotMatrixPaperHolds(settings.*size)) continue;
            const bool previous_holds = same_units && DotMatrixPaperHolds(previous.*size);
            settings.*size = previous_holds ? previous.*size : defaults.*size;
            fell_back = true;
        }
    } else if (settings.paper_width <= 0 || settings.paper_height <= 0) {
        const PrintSettings a4 = BuiltInPrintSettings();
        settings.paper_width = a4.paper_width;
        settings.paper_height = a4.paper_height;
        Adopt(settings, adopt_paper);
        fell_back = true;
    }
    bool negative = false;
    for (std::int32_t PrintSettings::*margin : {&PrintSettings::left_margin, &PrintSettings::right_margin,
                                                &PrintSettings::top_margin, &PrintSettings::bottom_margin}) {
        if (settings.*margin >= 0) continue;
        settings.*margin = same_units && previous.*margin >= 0 ? previous.*margin : 0;
        negative = true;
    }
    if (negative) {
        Adopt(settings, adopt_paper);
        fell_back = true;
    }
    for (const PaperSide& side : kPaperSides) {
        if (SideLeavesRoom(settings, side)) continue;
        fell_back = true;
        settings.*side.first_margin = same_units ? previous.*side.first_margin : 0;
        settings.*side.second_margin = same_units ? previous.*side.second_margin : 0;
        Adopt(settings, adopt_paper);
        if (SideLeavesRoom(settings, side)) continue;
        settings.*side.first_margin = 0;
        settings.*side.second_margin = 0;
        Adopt(settings, adopt_paper);
    }
    return fell_back;
}
