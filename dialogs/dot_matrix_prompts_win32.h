// The two message boxes of a dot-matrix print run: the sheet question and the closed port.
#ifndef LINTARO_DIALOGS_DOT_MATRIX_PROMPTS_WIN32_H
#define LINTARO_DIALOGS_DOT_MATRIX_PROMPTS_WIN32_H

#include <windows.h>

// The question asked before every page: the printer takes one sheet at a time.
extern const char kNewSheetPrompt[];  // "Моля, поставете нов лист хартия."

// The message shown when "LPT1" cannot be opened (title "Lintaro 2.0", stop icon).
extern const char kPortUnavailableLine1[];  // "Принтерът на LPT1 не може да бъде отворен."
extern const char kPortUnavailableLine2[];  // "Проверете дали е свързан и включен."

// The message box before every page (title "Lintaro 2.0", OK and Cancel, no icon,
// kNewSheetPrompt); true when the user pressed OK.
bool AskForNewSheet(HWND owner);

// Tells the user that "LPT1" cannot be opened.
void TellPortUnavailable(HWND owner);

#endif
