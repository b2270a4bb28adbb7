// Tests of the speed bar window: geometry, tooltips and the press, track and release behaviour.
#include "app/speed_bar_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace {

std::vector<UINT> owner_messages;  // WM_COMMAND ids and WM_APP, in arrival order

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND) {
        EXPECT_EQ(HIWORD(wparam), 0);
        EXPECT_EQ(lparam, 0);
        owner_messages.push_back(LOWORD(wparam));
        return 0;
    }
    if (message == WM_APP) {
        owner_messages.push_back(WM_APP);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

class SpeedBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = OwnerProc;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "SpeedBarTestOwner";
        RegisterClassA(&window_class);
        owner_ = CreateWindowExA(0, "SpeedBarTestOwner", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 20, 20, 500, 300, nullptr, nullptr, GetModuleHandleA(nullptr),
                                 nullptr);
        ASSERT_NE(owner_, nullptr);
        bar_ = SpeedBar::Create(owner_, kSpeedBarButtons);
        ASSERT_NE(bar_, nullptr);
        DrainQueue();
        owner_messages.clear();
    }
    void TearDown() override {
        bar_.reset();
        if (owner_ != nullptr) DestroyWindow(owner_);
        DrainQueue();
    }
    static void DrainQueue() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    static LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }
    void PostMove(int x, int y) { PostMessageA(bar_->Window(), WM_MOUSEMOVE, MK_LBUTTON, Point(x, y)); }
    void PostRelease(int x, int y) { PostMessageA(bar_->Window(), WM_LBUTTONUP, 0, Point(x, y)); }
    // Presses at (x, y): the press loop then takes the moves and the release queued before it.
    void Press(int x, int y) { SendMessageA(bar_->Window(), WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y)); }

    HWND owner_ = nullptr;
    std::unique_ptr<SpeedBar> bar_;
};

TEST_F(SpeedBarTest, SpansTheOwnersClientWidthAt36PixelsWithEightButtons) {
    char window_class[64] = {};
    GetClassNameA(bar_->Window(), window_class, sizeof window_class);
    EXPECT_STREQ(window_class, "SpeedBarWndClass");
    EXPECT_EQ(GetParent(bar_->Window()), owner_);
    const LONG style = GetWindowLongA(bar_->Window(), GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
    EXPECT_EQ(bar_->Height(), 36);
    RECT client = {}, bar = {};
    GetClientRect(owner_, &client);
    GetWindowRect(bar_->Window(), &bar);
    MapWindowPoints(nullptr, owner_, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.left, 0);
    EXPECT_EQ(bar.top, 0);
    EXPECT_EQ(bar.right, client.right);

    const int lefts[] = {10, 42, 74, 106, 138, 170, 202, 240};
    ASSERT_EQ(bar_->ButtonCount(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(bar_->ButtonRect(i), (BarRect{lefts[i], 2, lefts[i] + 30, 32})) << i;
        EXPECT_EQ(bar_->ButtonState(i), kButtonUp);
    }
}

TEST_F(SpeedBarTest, FitToOwnerFollowsTheOwnersWidthAndKeepsTheHeight) {
    MoveWindow(owner_, 20, 20, 700, 400, TRUE);
    bar_->FitToOwner();
    RECT client = {}, bar = {};
    GetClientRect(owner_, &client);
    GetClientRect(bar_->Window(), &bar);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_EQ(bar_->Height(), 36);
    MoveWindow(owner_, 20, 20, 300, 200, TRUE);
    bar_->FitToOwner();
    GetClientRect(owner_, &client);
    GetClientRect(bar_->Window(), &bar);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_EQ(bar_->Height(), 36);
}

TEST_F(SpeedBarTest, ZeroButtonSizeMeans28) {
    auto small = SpeedBar::Create(owner_, kSpeedBarButtons, 0, 0);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->Height(), 34);
    EXPECT_EQ(small->ButtonRect(0), (BarRect{10, 2, 38, 30}));
    EXPECT_EQ(small->ButtonRect(1), (BarRect{40, 2, 68, 30}));
}

TEST_F(SpeedBarTest, RegistersOneTooltipPerButtonWithItsText) {
    ASSERT_NE(bar_->Tooltip(), nullptr);
    // Asked to be owned by the bar, the popup is owned by the bar's top-level window.
    EXPECT_EQ(GetWindow(bar_->Tooltip(), GW_OWNER), owner_);
    EXPECT_EQ(SendMessageA(bar_->Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 8);
    for (int i = 0; i < 8; ++i) {
        char text[80] = {};
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V1_SIZE;
        tool.hwnd = bar_->Window();
        tool.uId = static_cast<UINT_PTR>(kSpeedBarButtons[i].command_id);
        tool.lpszText = text;
        SendMessageA(bar_->Tooltip(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(text, kSpeedBarButtons[i].tooltip) << i;
        TOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V1_SIZE;
        info.hwnd = bar_->Window();
        info.uId = tool.uId;
        ASSERT_TRUE(SendMessageA(bar_->Tooltip(), TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(info.rect.left, bar_->ButtonRect(i).left) << i;
        EXPECT_EQ(info.rect.bottom, 32) << i;
        EXPECT_NE(info.uFlags & TTF_SUBCLASS, 0u);
    }
}

TEST_F(SpeedBarTest, AClickSendsTheButtonsCommandOnRelease) {
    PostRelease(20, 10);
    Press(20, 10);
    EXPECT_EQ(owner_messages, (std::vector<UINT>{201}));
    PostRelease(250, 20);
    Press(250, 20);
    EXPECT_EQ(owner_messages, (std::vector<UINT>{201, 301}));
    EXPECT_EQ(bar_->ButtonState(7), kButtonUp);
    EXPECT_FALSE(bar_->IsTracking());
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(SpeedBarTest, MovingOffBeforeTheReleaseSendsNothing) {
    PostMove(20, 10);
    PostMove(60, 10);  // onto the next button: still off the pressed one
    PostRelease(60, 10);
    Press(20, 10);
    EXPECT_TRUE(owner_messages.empty());
    EXPECT_EQ(bar_->ButtonState(0), kButtonUp);
    EXPECT_EQ(bar_->ButtonState(1), kButtonUp);

    // Off the bar to the left: the coordinates read unsigned lie far to the right.
    PostMove(-3, 10);
    PostRelease(-3, 10);
    Press(20, 10);
    EXPECT_TRUE(owner_messages.empty());
}

TEST_F(SpeedBarTest, MovingBackOnBeforeTheReleaseSendsTheCommand) {
    PostMove(100, 60);
    PostMove(25, 12);
    PostRelease(300, 300);  // only the last move counts, not where the release happens
    Press(20, 10);
    EXPECT_EQ(owner_messages, (std::vector<UINT>{201}));
}

TEST_F(SpeedBarTest, PressesOutsideTheButtonsDoNothing) {
    for (POINT point : {POINT{5, 10}, POINT{40, 10}, POINT{235, 10}, POINT{20, 32}, POINT{20, 35},
                        POINT{20, 1}, POINT{400, 10}}) {
        Press(point.x, point.y);
        EXPECT_FALSE(bar_->IsTracking());
        EXPECT_EQ(GetCapture(), nullptr) << point.x << "," << point.y;
    }
    EXPECT_TRUE(owner_messages.empty());
}

TEST_F(SpeedBarTest, OtherMessagesAreDispatchedWhileAButtonIsHeld) {
    PostMessageA(owner_, WM_APP, 0, 0);
    PostRelease(20, 10);
    Press(20, 10);
    EXPECT_EQ(owner_messages, (std::vector<UINT>{WM_APP, 201}));
}

TEST_F(SpeedBarTest, AQuitDuringAPressCancelsItAndStaysQueued) {
    PostQuitMessage(7);
    Press(20, 10);
    EXPECT_TRUE(owner_messages.empty());
    EXPECT_FALSE(bar_->IsTracking());
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
}

TEST_F(SpeedBarTest, DestroyingTheBarRemovesItsWindowAndTooltip) {
    HWND window = bar_->Window();
    HWND tooltip = bar_->Tooltip();
    bar_.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(tooltip));
}

TEST_F(SpeedBarTest, ABarWhoseWindowIsGoneIsStillReleasedSafely) {
    HWND window = bar_->Window();
    DestroyWindow(owner_);  // as at shutdown: the main window goes before the bar is released
    owner_ = nullptr;
    EXPECT_FALSE(IsWindow(window));
    bar_.reset();
}

}  // namespace
