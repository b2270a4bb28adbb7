// Dot-matrix printing through the real port "LPT1", which the test prefix maps to a file
// (LINTARO_LPT1_FILE), with the page choice and the sheet prompt answered by the test.
#include "print/dot_matrix_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/dot_matrix_prompts_win32.h"
#include "print/dos_cyrillic.h"
#include "tests/unit/text_page_sample.h"

namespace {

// The Windows path of the file behind LPT1 ("Z:" is the Unix root in Wine), or "".
std::string LptFilePath() {
    char unix_path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("LINTARO_LPT1_FILE", unix_path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    std::string path = std::string("Z:") + unix_path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// A regular file behind the port is not truncated when the port is opened: empty it per job.
bool EmptyLptFile(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    TRUNCATE_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::string ReadLptFile(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot read the LPT1 file>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

// The begin and end sequences, typed from the printers' manuals.
struct Sequences {
    std::string begin;
    std::string end;
};
Sequences ExpectedSequences(int model, int mode) {
    const struct {
        int model;
        int mode;
        Sequences sequences;
    } listed[] = {
        {1, 1, {"\x12", ""}},
        {1, 2, {"\x1B\x3A", "\x12"}},
        {1, 3, {"\x0F", "\x12"}},
        {2, 1, {std::string("\x1B\x49\x00\x12", 4), ""}},
        {2, 2, {std::string("\x1B\x49\x00\x1B\x3A", 5), "\x12"}},
        {2, 3, {std::string("\x1B\x49\x00\x0F", 4), "\x12"}},
        {2, 4, {"\x1B\x49\x02\x12", std::string("\x1B\x49\x00", 3)}},
        {2, 5, {"\x1B\x49\x02\x1B\x3A", std::string("\x1B\x49\x00\x12", 4)}},
        {3, 1, {"\x1B\x50\x12", ""}},
        {3, 2, {"\x1B\x4D\x12", "\x1B\x50"}},
        {3, 3, {"\x1B\x50\x0F", "\x12"}},
    };
    for (const auto& entry : listed) {
        if (entry.model == model && entry.mode == mode) return entry.sequences;
    }
    return {};
}

constexpr int kTopMargin = 2;

PrintSettings LptSettings(int model, int mode) {
    PrintSettings settings = DotMatrixPrintSettings();
    settings.dot_matrix_model = model;
    settings.dot_matrix_mode = mode;
    settings.top_margin = kTopMargin;
    settings.left_margin = 3;
    return settings;
}

// Page `page` (1-based) as the port must receive it.
std::string ExpectedPage(int page, int model, int mode) {
    std::string bytes;
    for (int i = 0; i < kTopMargin; ++i) bytes += "\r\n";
    const Sequences sequences = ExpectedSequences(model, mode);
    bytes += sequences.begin;
    const auto pages = ThreePageTableText();
    for (std::string line : pages[static_cast<std::size_t>(page - 1)]) {
        ToDosCyrillic(line.data(), line.size());
        bytes += line;
    }
    return bytes + sequences.end;
}

// The answers the hooks give, set by each test.
TextPageChoice g_choice;
bool g_choose_ok = true;
int g_offered_to_page = 0;
std::vector<bool> g_sheet_answers;
int g_sheets_asked = 0;

bool ChoosePages(HWND, TextPageChoice& choice) {
    g_offered_to_page = choice.to_page;
    EXPECT_EQ(choice.from_page, 1);
    EXPECT_EQ(choice.subset, 0);
    choice = g_choice;
    return g_choose_ok;
}

bool AnswerSheet(HWND) {
    const bool answer = static_cast<std::size_t>(g_sheets_asked) < g_sheet_answers.size()
                            ? g_sheet_answers[static_cast<std::size_t>(g_sheets_asked)]
                            : true;
    ++g_sheets_asked;
    return answer;
}

class DotMatrixLpt : public ::testing::Test {
protected:
    void SetUp() override {
        lpt_file = LptFilePath();
        ASSERT_FALSE(lpt_file.empty()) << "LINTARO_LPT1_FILE is not set: run inside lintaro_env_start";
        ASSERT_TRUE(EmptyLptFile(lpt_file)) << lpt_file;
        g_choice = TextPageChoice{1, 3, 0};
        g_choose_ok = true;
        g_offered_to_page = 0;
        g_sheet_answers.clear();
        g_sheets_asked = 0;
    }

    TextPrintRun Print(int model, int mode, bool (*ask)(HWND) = &AnswerSheet) {
        EXPECT_TRUE(EmptyLptFile(lpt_file));
        table = MakeThreePageTable();
        DotMatrixQuestions questions;
        questions.choose_pages = &ChoosePages;
        questions.ask_for_sheet = ask;
        questions.tell_port_unavailable = &TellPortUnavailable;
        return PrintDotMatrix(nullptr, table->grid, LptSettings(model, mode), questions);
    }

    std::string lpt_file;
    std::unique_ptr<TextGrid> table;
};

TEST_F(DotMatrixLpt, EveryModelAndModeFramesEachPage) {
    for (int model = 0; model <= 5; ++model) {
        for (int mode = 0; mode <= 5; ++mode) {
            g_sheets_asked = 0;
            const TextPrintRun run = Print(model, mode);
            EXPECT_EQ(run.pages_sent, 3);
            EXPECT_EQ(g_sheets_asked, 3);
            EXPECT_EQ(ReadLptFile(lpt_file), ExpectedPage(1, model, mode) + ExpectedPage(2, model, mode) +
                                                  ExpectedPage(3, model, mode))
                << "model " << model << " mode " << mode;
        }
    }
    EXPECT_EQ(g_offered_to_page, 3);  // the dialog is offered pages 1 to the page count
}

TEST_F(DotMatrixLpt, EvenPagesOfOneToThreePromptOnceAndPrintPageTwo) {
    g_choice = TextPageChoice{1, 3, 2};
    Print(3, 2);
    EXPECT_EQ(g_sheets_asked, 1);
    EXPECT_EQ(ReadLptFile(lpt_file), ExpectedPage(2, 3, 2));
}

TEST_F(DotMatrixLpt, CancelAtAPromptStops) {
    g_sheet_answers = {true, false, true};
    const TextPrintRun run = Print(2, 4);
    EXPECT_TRUE(run.cancelled);
    EXPECT_EQ(g_sheets_asked, 2);
    EXPECT_EQ(ReadLptFile(lpt_file), ExpectedPage(1, 2, 4));
}

TEST_F(DotMatrixLpt, CancelInThePageDialogSendsNothing) {
    g_choose_ok = false;
    Print(3, 2);
    EXPECT_EQ(g_sheets_asked, 0);
    EXPECT_EQ(ReadLptFile(lpt_file), "");
}

TEST_F(DotMatrixLpt, PageNumbersWithoutAPageAreNeitherPromptedNorSent) {
    g_choice = TextPageChoice{0, 5, 0};
    Print(1, 2);
    EXPECT_EQ(g_sheets_asked, 3) << "one sheet for each of the three pages that exist";
    EXPECT_EQ(ReadLptFile(lpt_file), ExpectedPage(1, 1, 2) + ExpectedPage(2, 1, 2) + ExpectedPage(3, 1, 2));
}

// Answers the program's own message boxes from a second thread: OK or Cancel in turn, after
// checking the caption, the text and the buttons.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(std::vector<int> buttons) : buttons_(std::move(buttons)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~MessageBoxAnswerer() {
        stop_ = true;
        thread_.join();
    }
    int answered() const { return answered_; }
    std::vector<std::string> texts;

private:
    static BOOL CALLBACK FindBox(HWND window, LPARAM result) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char class_name[16] = {};
        char caption[64] = {};
        GetClassNameA(window, class_name, sizeof class_name);
        GetWindowTextA(window, caption, sizeof caption);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
            std::string(class_name) == "#32770" && std::string(caption) == "Lintaro 2.0") {
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        }
        return TRUE;
    }

    void Run() {
        const DWORD deadline = GetTickCount() + 20000;
        while (!stop_ && static_cast<std::size_t>(answered_) < buttons_.size() && GetTickCount() < deadline) {
            HWND box = nullptr;
            EnumWindows(&FindBox, reinterpret_cast<LPARAM>(&box));
            if (box == nullptr) {
                Sleep(20);
                continue;
            }
            char text[256] = {};
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message box's text control
            texts.emplace_back(text);
            const bool has_both = GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) != nullptr;
            if (!has_both) texts.back() += " <without OK and Cancel>";
            const int button = buttons_[static_cast<std::size_t>(answered_)];
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
            ++answered_;
            // Wait for this box to go before looking for the next one.
            while (IsWindow(box) && GetTickCount() < deadline) Sleep(10);
        }
    }

    std::vector<int> buttons_;
    std::atomic<int> answered_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(DotMatrixLpt, TheMessageBoxAsksForEverySheet) {
    MessageBoxAnswerer answerer({IDOK, IDCANCEL});
    const TextPrintRun run = Print(3, 3, &AskForNewSheet);
    EXPECT_EQ(answerer.answered(), 2);
    EXPECT_TRUE(run.cancelled);
    EXPECT_EQ(ReadLptFile(lpt_file), ExpectedPage(1, 3, 3));
    ASSERT_EQ(answerer.texts.size(), 2u);
    for (const std::string& text : answerer.texts) EXPECT_EQ(text, kNewSheetPrompt);
    EXPECT_EQ(std::string(kNewSheetPrompt), "Моля, поставете нов лист хартия.");
}

HANDLE PortThatCannotBeOpened() {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

TEST_F(DotMatrixLpt, APortThatCannotBeOpenedIsReportedAndNothingIsAsked) {
    MessageBoxAnswerer answerer({IDOK});
    table = MakeThreePageTable();
    DotMatrixQuestions questions;
    questions.choose_pages = &ChoosePages;
    questions.ask_for_sheet = &AnswerSheet;
    questions.tell_port_unavailable = &TellPortUnavailable;
    questions.open_port = &PortThatCannotBeOpened;
    const TextPrintRun run = PrintDotMatrix(nullptr, table->grid, LptSettings(3, 2), questions);
    EXPECT_TRUE(run.port_unavailable);
    EXPECT_EQ(run.pages_sent, 0);
    EXPECT_EQ(g_sheets_asked, 0);
    ASSERT_EQ(answerer.answered(), 1);
    EXPECT_EQ(answerer.texts[0], std::string(kPortUnavailableLine1) + "\r\n" + kPortUnavailableLine2 +
                                     " <without OK and Cancel>");
    EXPECT_EQ(std::string(kPortUnavailableLine1), "Принтерът на LPT1 не може да бъде отворен.");
    EXPECT_EQ(ReadLptFile(lpt_file), "");
}

}  // namespace
