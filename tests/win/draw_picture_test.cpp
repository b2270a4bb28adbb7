// Tests of picture cells: BMP loading, placement, move-up, printer scaling and clipping.
#include "render/picture_cell_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/grid_host_win32.h"
#include "app/session_win32.h"
#include "base/file_utils_win32.h"
#include "draw_test_support.h"
#include "render/text_draw_win32.h"

namespace {

using namespace draw_test;

class DrawPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(surface_.ok());
        FontSpec table_font;
        table_font.size = 80;
        font_ = std::make_unique<ScopedFont>(surface_.dc(), table_font);
        ASSERT_TRUE(font_->ok());
        TEXTMETRICA metrics{};
        GetTextMetricsA(surface_.dc(), &metrics);
        font_drop_ = metrics.tmHeight / 5;
    }
    void TearDown() override {
        SelectClipRgn(surface_.dc(), nullptr);
        font_.reset();
    }

    // A picture file of one colour in the test folder; returns its name.
    std::string AddPicture(const char* name, int width, int height, COLORREF colour = kRed) {
        folder_.Add(name, EncodeBitmap(TestPicture(width, height, colour), 24, false));
        return name;
    }

    const char* folder() const { return folder_.path().c_str(); }

    TempFolder folder_{"lintaro_draw_pictures"};
    DrawSurface surface_{420, 260, kGreen};
    std::unique_ptr<ScopedFont> font_;
    int font_drop_ = 0;
};

struct DecodeCase {
    int bit_count;
    bool top_down;
};

TEST_F(DrawPictureTest, LoadsPicturesOfEveryDepthAndRowOrder) {
    // Red top-left, green bottom-right, blue elsewhere (1 bit: no green).
    const DecodeCase cases[] = {{1, false}, {1, true},  {4, false}, {4, true},
                                {8, false}, {8, true},  {24, false}, {24, true}};
    for (const DecodeCase& c : cases) {
        TestPicture picture(5, 3, kBlue);
        picture.Set(0, 0, kRed);
        if (c.bit_count > 1) picture.Set(4, 2, kGreen);
        const std::string name = "decode_" + std::to_string(c.bit_count) + (c.top_down ? "t" : "b");
        const std::string path = folder_.Add(name + ".bmp", EncodeBitmap(picture, c.bit_count, c.top_down));

        surface_.Fill(RECT{0, 0, 420, 260}, kWhite);
        const HBITMAP bitmap = LoadBitmapFile(surface_.dc(), path.c_str());
        ASSERT_NE(bitmap, nullptr) << name;
        const SIZE size = BitmapSize(bitmap);
        EXPECT_EQ(size.cx, 5) << name;
        EXPECT_EQ(size.cy, 3) << name;
        DrawBitmapAt(surface_.dc(), 10, 20, bitmap);
        DeleteObject(bitmap);
        EXPECT_EQ(surface_.Pixel(10, 20), kRed) << name;
        EXPECT_EQ(surface_.Pixel(14, 22), c.bit_count > 1 ? kGreen : kBlue) << name;
        EXPECT_EQ(surface_.CountOf(RECT{10, 20, 15, 23}, kBlue), c.bit_count > 1 ? 13 : 14) << name;
        EXPECT_EQ(surface_.CountOf(RECT{0, 0, 420, 260}, kWhite), 420 * 260 - 15) << name;
    }
}

TEST_F(DrawPictureTest, LoadsForTheScreenWhenNoContextIsGiven) {
    const TestPicture picture(7, 4, kRed);
    const std::string path = folder_.Add("screen.bmp", EncodeBitmap(picture, 8, false));
    const HBITMAP bitmap = LoadBitmapFile(nullptr, path.c_str());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(BitmapSize(bitmap).cx, 7);
    EXPECT_EQ(BitmapSize(bitmap).cy, 4);
    DeleteObject(bitmap);
}

TEST_F(DrawPictureTest, RefusesFilesThatAreMissingOrNotFittingBitmaps) {
    std::vector<unsigned char> good = EncodeBitmap(TestPicture(6, 4, kRed), 24, false);
    std::vector<unsigned char> truncated(good.begin(), good.end() - 1);
    std::vector<unsigned char> too_tall = good;
    PutUint32(too_tall, 22, 5);
    std::vector<unsigned char> offset_outside = good;
    PutUint32(offset_outside, 10, static_cast<std::uint32_t>(good.size()));
    const std::string text = "не е картина";
    const std::vector<unsigned char> not_bitmap(text.begin(), text.end());
    struct Case {
        const char* name;
        const std::vector<unsigned char>* bytes;
    };
    const Case cases[] = {{"truncated.bmp", &truncated},
                          {"too_tall.bmp", &too_tall},
                          {"offset.bmp", &offset_outside},
                          {"text.bmp", &not_bitmap}};
    for (const Case& c : cases) {
        const std::string path = folder_.Add(c.name, *c.bytes);
        EXPECT_EQ(LoadBitmapFile(surface_.dc(), path.c_str()), nullptr) << c.name;
    }
    EXPECT_EQ(LoadBitmapFile(surface_.dc(), (folder_.path() + "\\missing.bmp").c_str()), nullptr);
    const std::string good_path = folder_.Add("good.bmp", good);
    const HBITMAP bitmap = LoadBitmapFile(surface_.dc(), good_path.c_str());
    EXPECT_NE(bitmap, nullptr);
    DeleteObject(bitmap);
}

TEST_F(DrawPictureTest, AHeldPictureIsMissingAtOnceAndShowsOnceItIsFree) {
    const std::string path = folder_.path() + "\\" + AddPicture("held.bmp", 20, 10);
    const HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(LoadBitmapFile(surface_.dc(), path.c_str()), nullptr);
    const RECT cell{10, 10, 110, 60};
    surface_.Fill(RECT{0, 0, 420, 260}, kWhite);
    DrawPictureCell(surface_.dc(), cell, 3, 2, 0, 1, "held.bmp", folder());
    EXPECT_LT(GetTickCount64() - started, 1000u) << "no waiting for the holder";
    EXPECT_EQ(surface_.CountOf(cell, kRed), 0) << "the name in place of the picture";
    CloseHandle(holder);

    SelectClipRgn(surface_.dc(), nullptr);
    DrawPictureCell(surface_.dc(), cell, 3, 2, 0, 1, "held.bmp", folder());
    EXPECT_EQ(surface_.CountOf(cell, kRed), 20 * 10) << "read again at the next paint";
}

struct PlacementCase {
    const char* name;
    int alignment;
    int width;
    int height;
    int expected_x;
    int expected_y;  // relative to cell top + dy + a fifth of the font height, or absolute
    bool from_text_line;
};

TEST_F(DrawPictureTest, PlacesThePictureInItsCellAndMovesTallOnesUp) {
    const RECT cell{10, 10, 110, 60};
    const PlacementCase cases[] = {
        {"left", 0, 30, 20, 13, 0, true},
        {"right", 1, 30, 20, 110 - 3 - 30, 0, true},
        {"centre", 2, 30, 20, 10 + (100 - 30) / 2, 0, true},
        {"overhanging", 0, 30, 48, 13, 60 - 48, false},
        {"taller than the cell", 0, 30, 70, 13, 10, false},
    };
    for (const PlacementCase& c : cases) {
        surface_.Fill(RECT{0, 0, 420, 260}, kGreen);
        const std::string name = AddPicture((std::string(c.name) + ".bmp").c_str(), c.width, c.height);
        DrawPictureCell(surface_.dc(), cell, 3, 2, c.alignment, 1, name.c_str(), folder());
        SelectClipRgn(surface_.dc(), nullptr);
        const int y = c.from_text_line ? cell.top + 2 + font_drop_ : c.expected_y;
        const RECT picture{c.expected_x, y, c.expected_x + c.width, y + c.height};
        EXPECT_TRUE(SameRect(surface_.BoundsOfColour(kRed), picture))
            << c.name << ": " << Describe(surface_.BoundsOfColour(kRed));
        RECT inside{};
        IntersectRect(&inside, &picture, &cell);
        EXPECT_EQ(surface_.CountOf(cell, kWhite), Area(cell) - Area(inside)) << c.name;
        EXPECT_EQ(surface_.CountOf(RECT{110, 10, 111, 60}, kBlack), 50) << c.name << ": right rule";
        EXPECT_EQ(surface_.Pixel(110, 60), kGreen) << c.name;
    }
}

TEST_F(DrawPictureTest, ExcludesTheCellFromLaterPainting) {
    const RECT cell{10, 10, 110, 60};
    const std::string name = AddPicture("clip.bmp", 30, 20);
    DrawPictureCell(surface_.dc(), cell, 3, 2, 0, 1, name.c_str(), folder());
    surface_.Fill(RECT{0, 0, 420, 260}, kBlue);
    EXPECT_EQ(surface_.CountOf(cell, kRed), 600);
    EXPECT_EQ(surface_.CountOf(cell, kWhite), Area(cell) - 600);
    EXPECT_EQ(surface_.CountOf(RECT{0, 0, 420, 260}, kBlue), 420 * 260 - Area(cell));
}

TEST_F(DrawPictureTest, ShowsTheFileNameWhenThereIsNoPicture) {
    const RECT cell{10, 10, 110, 60};
    folder_.Add("broken.bmp", std::vector<unsigned char>{'B', 'M', 0, 0});
    for (const char* name : {"липсва.bmp", "broken.bmp"}) {
        surface_.Fill(RECT{0, 0, 420, 260}, kGreen);
        DrawPictureCell(surface_.dc(), cell, 3, 2, 1, 2, name, folder());
        SelectClipRgn(surface_.dc(), nullptr);
        SIZE extent{};
        GetTextExtentPoint32A(surface_.dc(), name, static_cast<int>(std::strlen(name)), &extent);
        const RECT ink = surface_.BoundsOfColourIn(cell, kBlack);
        // The name, left-aligned at the padding whatever the alignment, and the thick rule.
        EXPECT_GE(ink.left, 13) << name;
        EXPECT_LE(ink.left, 15) << name;
        EXPECT_GE(ink.top, 12) << name;
        EXPECT_LE(ink.bottom, 12 + extent.cy) << name;
        EXPECT_GT(surface_.CountOf(RECT{13, 12, 13 + extent.cx, 12 + extent.cy}, kBlack), 20) << name;
        EXPECT_EQ(surface_.CountOf(RECT{110, 10, 112, 60}, kBlack), 100) << name;
        EXPECT_EQ(surface_.CountOf(cell, kRed) + surface_.CountOf(cell, kGreen), 0) << name;
    }
}

TEST_F(DrawPictureTest, PrintsThePictureAtTheSamePhysicalSize) {
    const RECT cell{10, 10, 410, 250};
    const std::string name = AddPicture("print.bmp", 100, 50);
    PrintPictureCellAtResolution(surface_.dc(), cell, 3, 2, 0, 1, name.c_str(), folder(), PixelsPerInch{300, 300},
                                 PixelsPerInch{96, 96});
    SelectClipRgn(surface_.dc(), nullptr);
    const int y = cell.top + 2 + font_drop_;
    EXPECT_TRUE(SameRect(surface_.BoundsOfColour(kRed), RECT{13, y, 13 + 313, y + 156}))
        << Describe(surface_.BoundsOfColour(kRed));
    EXPECT_EQ(surface_.CountOf(cell, kRed), 313 * 156);
    EXPECT_EQ(surface_.CountOf(cell, kWhite), Area(cell) - 313 * 156);
    EXPECT_EQ(surface_.CountOf(RECT{410, 10, 411, 250}, kBlack), 240);
}

TEST_F(DrawPictureTest, PrintsAtTheDisplaySizeOnADisplayContext) {
    const RECT cell{10, 10, 410, 250};
    const std::string name = AddPicture("same.bmp", 100, 50);
    PrintPictureCell(surface_.dc(), cell, 3, 2, 1, 1, name.c_str(), folder(), surface_.dc());
    SelectClipRgn(surface_.dc(), nullptr);
    const int y = cell.top + 2 + font_drop_;
    EXPECT_TRUE(SameRect(surface_.BoundsOfColour(kRed), RECT{307, y, 407, y + 50}))
        << Describe(surface_.BoundsOfColour(kRed));
}

TEST_F(DrawPictureTest, LeavesAPrintedCellBlankWithoutAPicture) {
    const RECT cell{10, 10, 110, 60};
    PrintPictureCell(surface_.dc(), cell, 3, 2, 0, 1, "липсва.bmp", folder(), surface_.dc());
    SelectClipRgn(surface_.dc(), nullptr);
    EXPECT_EQ(surface_.CountOf(cell, kWhite), Area(cell));
    EXPECT_EQ(surface_.CountOf(RECT{110, 10, 111, 60}, kBlack), 50);
}

TEST(DrawPicturePath, JoinsTheNameToTheDataDirectoryOrTheProgramFolder) {
    char saved[sizeof CurrentSession().data_directory];
    std::memcpy(saved, CurrentSession().data_directory, sizeof saved);
    GridHost& session = SessionGridHost();

    SetDataDirectory("C:\\Данни");
    char path[MAX_PATH];
    ASSERT_TRUE(ResolvePicturePath(session.PictureFolder(), "стол.bmp", path, sizeof path));
    EXPECT_STREQ(path, "C:\\Данни\\стол.bmp");

    // Without a data file the program's folder, and the data directory stays empty.
    CurrentSession().data_directory[0] = '\0';
    char program[MAX_PATH];
    ASSERT_GT(ProgramDirectory(program, sizeof program), 0u);
    ASSERT_TRUE(ResolvePicturePath(session.PictureFolder(), "стол.bmp", path, sizeof path));
    EXPECT_EQ(std::string(path), std::string(program) + "\\стол.bmp");
    EXPECT_STREQ(CurrentSession().data_directory, "");

    const std::string long_name(300, 'a');
    EXPECT_FALSE(ResolvePicturePath(session.PictureFolder(), long_name.c_str(), path, sizeof path));
    std::memcpy(CurrentSession().data_directory, saved, sizeof saved);
}

}  // namespace
