// The paper and margins a print settings record may hold, and the fall-back for records that
// come from outside the print setup dialog (a data file's head, Printer.cfg edited by hand).
#ifndef LINTARO_PRINT_PAPER_RULES_H
#define LINTARO_PRINT_PAPER_RULES_H

#include <cstdint>
#include <functional>

#include "base/print_settings.h"

// The most characters per line, lines per page and margin a dot-matrix record holds: wider than
// any carriage, and few enough that a margin sent as blanks or line ends stays short.
constexpr std::int32_t kMostDotMatrixCount = 999;

// The margins across one side of the paper leave something to print on: neither is negative
// and together they are narrower than the paper.
bool MarginsLeaveRoom(std::int32_t paper, std::int32_t first_margin, std::int32_t second_margin);

// Gives a Windows printer's record the paper of its driver and raises its margins to the
// driver's unprintable strips (AdoptDriverPaper); leaves it alone when the printer cannot be
// opened.
using AdoptPaper = std::function<void(PrintSettings&)>;

// Makes a record from outside the dialog one that the dialog would accept, the way the dialog
// itself resets what it cannot use: a dot-matrix paper of 1 to kMostDotMatrixCount characters
// and lines (else `previous`'s, when it is a dot-matrix paper, else 80 by 60); a Windows paper
// that is not empty (else A4, unless the driver says otherwise); no negative margin (else
// `previous`'s); and margins that leave room across each side (else `previous`'s margins on that
// side, when they leave room on this paper, else none). `previous` counts only in the same
// units; Windows printers' margins are raised to the strips by `adopt_paper`. Returns whether
// anything fell back.
bool FallBackToAcceptablePaper(PrintSettings& settings, const PrintSettings& previous, const AdoptPaper& adopt_paper);

#endif
