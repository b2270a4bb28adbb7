// Reads the description head: each key is searched anywhere, its value runs to the line's end.
#include "formats/description.h"

#include <cstdint>
#include <cstring>

#include "formats/key_search.h"
#include "print/paper_rules.h"

namespace {

constexpr std::size_t kLongestNumber = 31;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlankByte(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlankByte(text.back())) text.remove_suffix(1);
    return text;
}

// Leading digits as an integer, like atoi but saturating instead of overflowing.
std::int32_t LeadingInteger(std::string_view digits) {
    std::int64_t value = 0;
    for (char c : digits) {
        if (!IsDigit(c)) break;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<std::int32_t>(value);
}

// The first run of decimal digits in text (at most 31 digits, else 0); 0 when there is none.
std::int32_t FirstDigitRun(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && !IsDigit(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (start == end || end - start > kLongestNumber) return 0;
    return LeadingInteger(text.substr(start, end - start));
}

void ApplyWindowTitle(std::string_view value, char (&title)[256]) {
    std::string normal;
    for (char c : TrimBlanks(value)) {
        if (IsBlankByte(c)) {
            if (normal.empty() || normal.back() != ' ') normal += ' ';
        } else {
            normal += c;
        }
    }
    if (normal.size() > 255) normal.resize(255);
    while (!normal.empty() && normal.back() == ' ') normal.pop_back();
    if (normal.empty()) return;
    std::memcpy(title, normal.data(), normal.size());
    title[normal.size()] = '\0';
}

void SetDeviceName(PrintSettings& settings, std::string_view name) {
    std::memset(settings.device_name, 0, sizeof settings.device_name);
    const std::size_t length = name.size() < 259 ? name.size() : 259;
    std::memcpy(settings.device_name, name.data(), length);
}

// Index (from 1) of the first word of the list that the value contains; 0 when none does.
template <std::size_t N>
int FirstContainedWord(std::string_view value, const char* const (&words)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        if (ContainsWord(value, words[i])) return static_cast<int>(i) + 1;
    }
    return 0;
}

// Returns true when the value chose Windows' default printer.
bool ApplyPrinter(std::string_view value, PrintSettings& settings) {
    static const char* const kModels[] = {"IBM1", "IBM2", "EPSON1", "EPSON2", "FUJITSU"};
    static const char* const kModes[] = {"Draft 10", "Draft 12", "Compression", "Pica", "Elite"};
    value = TrimBlanks(value);
    if (ContainsWord(value, "LPT1")) {
        settings.printer_kind = kDotMatrixPrinter;
        SetDeviceName(settings, "LPT1");
        if (int model = FirstContainedWord(value, kModels)) settings.dot_matrix_model = model;
        if (int mode = FirstContainedWord(value, kModes)) settings.dot_matrix_mode = mode;
        return false;
    }
    if (ContainsWord(value, "Default")) {
        settings.printer_kind = kDefaultWindowsPrinter;
        SetDeviceName(settings, "Default");
        return true;
    }
    settings.printer_kind = kOtherWindowsPrinter;
    SetDeviceName(settings, value);
    return false;
}

void ApplyPage(std::string_view value, PrintSettings& settings) {
    struct PageWord {
        const char* word;
        std::int32_t PrintSettings::*field;
    };
    static const PageWord kWords[] = {
        {"Width", &PrintSettings::paper_width},  {"Height", &PrintSettings::paper_height},
        {"Left", &PrintSettings::left_margin},   {"Top", &PrintSettings::top_margin},
        {"Right", &PrintSettings::right_margin}, {"Bottom", &PrintSettings::bottom_margin},
    };
    for (const PageWord& entry : kWords) {
        const std::size_t at = FindKey(value, entry.word);
        if (at != kNotFound) settings.*entry.field = ReadPageNumber(value, at);
    }
}

void ApplyFont(std::string_view value, FontSpec& font) {
    FontSpec changed = font;
    changed.style = 0;
    std::size_t at = 0;
    while (at < value.size() && IsBlankByte(value[at])) ++at;
    const std::size_t comma = value.find(',', at);
    if (comma == std::string_view::npos) return;
    const std::string_view face = value.substr(at, comma - at);
    if (face.size() >= sizeof changed.face_name) return;

    at = comma + 1;
    while (at < value.size() && IsBlankByte(value[at])) ++at;
    const std::size_t second_comma = value.find(',', at);
    const std::size_t size_end = second_comma == std::string_view::npos ? value.size() : second_comma;
    const std::int32_t points = FirstDigitRun(value.substr(at, size_end - at));
    if (points < 5 || points > 100) return;

    if (second_comma != std::string_view::npos) {
        at = second_comma + 1;
        while (at < value.size() && IsBlankByte(value[at])) ++at;
        if (ContainsWord(value.substr(at), "Bold")) changed.style |= kFontBold;
    }
    std::memset(changed.face_name, 0, sizeof changed.face_name);
    std::memcpy(changed.face_name, face.data(), face.size());
    changed.size = points * 10;
    font = changed;
}

}  // namespace

std::string_view DescriptionValue(std::string_view head, std::string_view key, bool& found) {
    const std::size_t at = FindKeyAtLineStart(head, key, LineEnds::CarriageReturnOrLineFeed);
    found = at != kNotFound;
    if (!found) return {};
    const std::size_t start = at + key.size();
    const std::size_t end = head.find_first_of("\r\n", start);
    return head.substr(start, (end == std::string_view::npos ? head.size() : end) - start);
}

std::int32_t ReadPageNumber(std::string_view value, std::size_t from) {
    std::size_t start = from;
    while (start < value.size() && !IsDigit(value[start])) ++start;
    std::size_t end = start;
    while (end < value.size() && (IsDigit(value[end]) || value[end] == '.')) ++end;
    if (start == end || end - start > kLongestNumber) return 0;
    const std::string_view number = value.substr(start, end - start);
    const std::size_t point = number.find('.');
    if (point == std::string_view::npos) return LeadingInteger(number);
    const std::int64_t whole = LeadingInteger(number.substr(0, point));
    const std::int64_t hundredths = whole * 100 + LeadingInteger(number.substr(point + 1));
    return hundredths > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(hundredths);
}

void ApplyDescription(std::string_view head, DescriptionState& state, PrinterDirectory& printers) {
    PrintSettings& settings = state.settings;
    const PrintSettings previous = settings;
    bool found = false;
    std::string_view value = DescriptionValue(head, "WindowTitle:", found);
    if (found) ApplyWindowTitle(value, state.window_title);

    bool default_printer = false;
    value = DescriptionValue(head, "Printer:", found);
    if (found) default_printer = ApplyPrinter(value, settings);

    value = DescriptionValue(head, "Page:", found);
    if (found) ApplyPage(value, settings);

    value = DescriptionValue(head, "Orientation:", found);
    if (found) {
        settings.flags &= ~kLandscapeFlag;
        if (ContainsWord(value, "Landscape")) settings.flags |= kLandscapeFlag;
    }
    value = DescriptionValue(head, "CodeTable:", found);
    if (found) {
        settings.flags &= ~kDosCyrillicFlag;
        if (ContainsWord(value, "DOS")) settings.flags |= kDosCyrillicFlag;
    }
    value = DescriptionValue(head, "PaperFeed:", found);
    if (found) settings.paper_feed = ContainsWord(value, "Manual") ? 0 : 1;

    value = DescriptionValue(head, "Font:", found);
    if (found && state.has_font) ApplyFont(value, state.font);

    if (default_printer) SetDeviceName(settings, printers.DefaultPrinterName());
    if (settings.printer_kind != kDotMatrixPrinter && settings.device_name[0] == '\0') {
        // No printer at all (none named, or no default printer): print setup would refuse it,
        // so the table stays with the printer it had.
        settings.printer_kind = previous.printer_kind;
        const char* name = previous.device_name;
        SetDeviceName(settings, std::string_view(name, strnlen(name, sizeof previous.device_name)));
    }
    const AdoptPaper adopt_paper = [&printers](PrintSettings& windows) { printers.AdoptDriverPaper(windows); };
    if (settings.printer_kind != kDotMatrixPrinter) {
        settings.paper_width = 21000;
        settings.paper_height = 29700;
        adopt_paper(settings);
    }
    // Sizes and margins that print setup would refuse never reach the layout or the printer.
    FallBackToAcceptablePaper(settings, previous, adopt_paper);
}
