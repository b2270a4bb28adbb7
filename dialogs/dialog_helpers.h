// Text and number rules shared by the dialogs: trimming, decimal and hundredths fields, joined
// message lines and the keyed option tables that fill drop-down lists.
#ifndef LINTARO_DIALOGS_DIALOG_HELPERS_H
#define LINTARO_DIALOGS_DIALOG_HELPERS_H

#include <cstddef>
#include <cstdint>
#include <string>

// The caption of every message box of the program, whatever the window title says.
extern const char kMessageTitle[];  // "Lintaro 2.0"

// Room for a message box text, terminator included; callers keep the joined lines below it.
constexpr std::size_t kMessageTextCapacity = 1024;

// Room for the text of a number field: 15 characters and the terminator.
constexpr std::size_t kNumberFieldCapacity = 16;

// Removes every byte 0x00-0x20 from the end, then from the start of `text`, in place; bytes
// 0x80-0xFF are letters of code page 1251 and are kept. Returns the new length. Null gives 0.
std::size_t TrimText(char* text);

// The decimal conversion of number fields: leading blanks (0x01-0x20) skipped, an optional sign,
// then decimal digits up to the first other byte; no digits give 0. Null gives 0. A value beyond
// 32 bits keeps its low 32 bits here; fields read with DecimalFieldValue, which refuses it.
std::int32_t DecimalValue(const char* text);

// A hundredths field read back: trimmed, split at the first "."; no point gives the whole
// number * 100. One digit after the point counts tenths ("1.5" is 150), two count hundredths
// ("6.35" is 635), further digits are dropped ("1.256" is 125). The fraction takes the whole
// number's sign ("-1.5" is -150). A comma is not a point: "10,5" is 1000. `text` is trimmed in
// place.
std::int32_t HundredthsFromText(char* text);

// The number a field holds, read as DecimalValue and HundredthsFromText read it but refused
// instead of wrapped: false, with `value` untouched, when it does not fit 32 bits.
[[nodiscard]] bool DecimalFieldValue(const char* text, std::int32_t& value);
[[nodiscard]] bool HundredthsFieldValue(char* text, std::int32_t& value);

// Whether the text of a number field is a negative number ("-0" is not): which way a number
// that a field cannot hold went past its limit.
bool IsNegativeNumberText(const char* text);

// The text a hundredths field shows: value / 100, a point and two digits (21000 shows "210.00",
// 635 "6.35", -150 "-1.50"); 0 shows an empty text.
std::string HundredthsText(std::int32_t value);

// The text an integer field shows: "%d", or empty for 0.
std::string IntegerText(std::int32_t value);

// Up to five message lines as one text: line 1 (nothing when null), then each further non-null
// line preceded by CR LF. The result is cut to kMessageTextCapacity - 1 bytes.
std::string JoinMessageLines(const char* line1, const char* line2 = nullptr,
                             const char* line3 = nullptr, const char* line4 = nullptr,
                             const char* line5 = nullptr);

// One entry of an option table: the stored 32-bit key and the text the user sees. A table ends
// with an entry whose text is null. Keys need be neither consecutive nor sorted.
struct OptionEntry {
    std::int32_t key;
    const char* text;
};

// One line a dialog offers for a choice: the caller's key for it (a grid column index, say)
// and the text the user sees. The dialog hands back keys, never positions in its list.
struct DialogChoice {
    std::int32_t key = 0;
    std::string title;
};

// Entries before the terminating one; a null table has none.
int OptionCount(const OptionEntry* table);

// Index of the last entry whose key is `key` (the one a filled list selects), or -1.
int OptionIndexOfKey(const OptionEntry* table, std::int32_t key);

// Where a filled drop-down list's item `value` index lies in the number list first, first + step,
// ... (count values): the last index whose value equals `selected`, or -1.
int NumberIndexOfValue(int count, int first, int step, int selected);

// Extra height that makes a combo box's drop-down list show `item_count` items (at least one)
// of `text_height` pixels each, plus one line, up to ten items; beyond ten it scrolls.
int DropDownExtraHeight(int item_count, int text_height);

// Turns a "|"-separated file chooser filter ("Text|*.txt|") into the NUL-separated list the
// chooser reads, in place: every "|" becomes NUL, so the trailing "|" ends the list.
void FilterBarsToNuls(char* filter);

#endif
