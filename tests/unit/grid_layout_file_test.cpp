// Tests of the column layout file: exact bytes, round trips, refused and mended files, titles.
#include "grid/column_layout_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fake_measuring_device.h"
#include "grid/grid_model.h"
#include "grid/grid_view_layout.h"
#include "render/text_layout.h"
#include "base/byte_order.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> Titles(const GridModel& model) {
    std::vector<std::string> titles;
    for (int i = 0; i < model.ColumnCount(); ++i) titles.emplace_back(model.ColumnTitleText(i));
    return titles;
}

// The column records without their title offsets, which a layout file never decides.
std::vector<GridColumn> RecordsWithoutTitles(const GridModel& model) {
    std::vector<GridColumn> records;
    for (int i = 0; i < model.ColumnCount(); ++i) {
        GridColumn column = *model.Column(i);
        column.title_offset = 0;
        records.push_back(column);
    }
    return records;
}

bool SameRecords(const std::vector<GridColumn>& a, const std::vector<GridColumn>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(GridColumn)) == 0;
}

class GridLayoutFileTest : public ::testing::Test {
protected:
    void SetUp() override { model = MakeModel(); }

    std::unique_ptr<GridModel> MakeModel() {
        return std::make_unique<GridModel>(GridEnvironment{&screen, &print, nullptr, nullptr});
    }

    // A grid as a user leaves it: three columns, a changed style and font, a hidden column.
    void Arrange(GridModel& grid) {
        grid.AddColumn(11, "Name");
        grid.AddColumn(12, "Amount");
        GridColumnInfo info;
        grid.GetColumnInfo(2, info);
        info.alignment = kAlignRight;
        info.flags = ColumnFlags::TextFlow | ColumnFlags::Bold;
        info.max_lines = 3;
        info.type = ColumnType::Number;
        grid.SetColumnInfo(2, info);
        grid.MutableColumn(1)->character_width = 12;
        grid.MutableColumn(1)->character_width_used = 9;
        const std::uint8_t visible[] = {1, 0, 1};
        grid.SetVisibility(visible, 3);
        TableStyle style;
        style.line_type = LineType::Thick;
        style.cell_height = 40;
        style.page_number_position = PageNumberPosition::BottomCenter;
        style.flags = 0x1FF;
        grid.SetTableStyle(style);
        FontSpec font;
        std::memset(font.face_name, 0, sizeof font.face_name);
        std::strcpy(font.face_name, "Arial");
        font.size = 120;
        font.style = kFontBold;
        font.char_set = 204;
        font.reserved_first = 0x01020304;
        font.reserved_second = 0x05060708;
        font.reserved_last = 0x44332211;
        grid.SetFont(font);
    }

    FakeMeasuringDevice screen{6, 13, 96};
    FakeMeasuringDevice print{25, 50, 300};
    std::unique_ptr<GridModel> model;
};

TEST_F(GridLayoutFileTest, ImageHoldsHeaderStyleFontAndRecordsAtTheirOffsets) {
    Arrange(*model);
    const Bytes image = model->BuildLayoutFileImage();
    ASSERT_EQ(image.size(), 128u + 3 * 48);
    const std::uint8_t* b = image.data();

    const std::uint8_t expected_head[] = {0x4E, 0x61, 0xBC, 0x00, 20, 0, 128, 0, 48, 0, 3, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b, expected_head, sizeof expected_head), 0);
    for (std::size_t i = 14; i < 26; ++i) EXPECT_EQ(b[i], 0) << i;
    const std::uint8_t expected_style[] = {2, 40, 0, 5, 0xFF, 0x01, 0, 0};
    EXPECT_EQ(std::memcmp(b + 26, expected_style, 8), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 34), "Arial");
    for (std::size_t i = 34 + 5; i < 66; ++i) EXPECT_EQ(b[i], 0) << i;
    const std::uint8_t expected_font_numbers[] = {120, 0, 0, 0, 1, 0, 0, 0, 204, 0, 0, 0,
                                                  4,   3, 2, 1, 8, 7, 6, 5, 0x11, 0x22};
    EXPECT_EQ(std::memcmp(b + 66, expected_font_numbers, sizeof expected_font_numbers), 0);
    for (std::size_t i = 88; i < 128; ++i) EXPECT_EQ(b[i], 0) << i;

    // Records as held: the row-number column, then "Name" (hidden), then "Amount".
    EXPECT_EQ(ReadUint32(b + 128), 0xFFFFFFFFu);  // source -1
    EXPECT_EQ(ReadUint32(b + 128 + 4), 1u);       // Visible
    EXPECT_EQ(ReadUint32(b + 128 + 8), 1u);       // Right
    EXPECT_EQ(ReadUint32(b + 128 + 36), 0u);      // title offset of "No"
    const std::uint8_t* name = b + 128 + 48;
    EXPECT_EQ(ReadUint32(name), 11u);
    EXPECT_EQ(ReadUint32(name + 4), 0u);
    EXPECT_EQ(ReadUint32(name + 20), static_cast<std::uint32_t>(model->Column(1)->width));
    EXPECT_EQ(ReadUint32(name + 28), static_cast<std::uint32_t>(model->Column(1)->print_width));
    EXPECT_EQ(ReadUint32(name + 36), 3u);
    EXPECT_EQ(ReadUint32(name + 40), 12u);
    EXPECT_EQ(ReadUint32(name + 44), 9u);
    const std::uint8_t* amount = b + 128 + 96;
    EXPECT_EQ(ReadUint32(amount), 12u);
    EXPECT_EQ(ReadUint32(amount + 4), 0x51u);
    EXPECT_EQ(ReadUint32(amount + 8), 1u);
    EXPECT_EQ(ReadUint32(amount + 12), 3u);
    EXPECT_EQ(ReadUint32(amount + 16), 1u);
    EXPECT_EQ(ReadUint32(amount + 36), 8u);
}

TEST_F(GridLayoutFileTest, ImageComesBackByteForByte) {
    Arrange(*model);
    const Bytes image = model->BuildLayoutFileImage();

    // A new grid filled with the same columns, as the program does before loading the layout.
    auto loaded = MakeModel();
    loaded->AddColumn(11, "Name");
    loaded->AddColumn(12, "Amount");
    loaded->SetModified(true);
    ASSERT_TRUE(loaded->ApplyLayoutFileImage(image));
    EXPECT_FALSE(loaded->IsModified());
    EXPECT_EQ(loaded->BuildLayoutFileImage(), image);
    EXPECT_TRUE(SameRecords(RecordsWithoutTitles(*loaded), RecordsWithoutTitles(*model)));
    EXPECT_EQ(Titles(*loaded), (std::vector<std::string>{"No", "Name", "Amount"}));
    const TableStyle a = loaded->GetTableStyle();
    const TableStyle b = model->GetTableStyle();
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    const FontSpec fa = loaded->GetFont();
    const FontSpec fb = model->GetFont();
    EXPECT_EQ(std::memcmp(&fa, &fb, kFontSpecStoredBytes), 0);
    EXPECT_EQ(loaded->Metrics(GridDevice::Screen).rule_width, 2);
    EXPECT_EQ(loaded->Metrics(GridDevice::Print).rule_width, 2);
    EXPECT_EQ(loaded->TableWidth(), model->TableWidth());
}

TEST_F(GridLayoutFileTest, RecordOffsetIsTakenFromTheFile) {
    Arrange(*model);
    Bytes image = model->BuildLayoutFileImage();
    image.insert(image.begin() + 128, 32, 0xEE);  // something a later version might keep there
    WriteUint16(image.data() + 6, 160);
    image.push_back(0x99);  // trailing bytes are ignored

    auto loaded = MakeModel();
    loaded->AddColumn(11, "Name");
    loaded->AddColumn(12, "Amount");
    ASSERT_TRUE(loaded->ApplyLayoutFileImage(image));
    EXPECT_TRUE(SameRecords(RecordsWithoutTitles(*loaded), RecordsWithoutTitles(*model)));
}

struct RefusedCase {
    const char* what;
    void (*spoil)(Bytes&);
};

TEST_F(GridLayoutFileTest, RefusedFilesChangeNothingButTitleOffsets) {
    const RefusedCase cases[] = {
        {"wrong magic", [](Bytes& b) { b[0] ^= 1; }},
        {"wrong 20", [](Bytes& b) { WriteUint16(b.data() + 4, 21); }},
        {"wrong record size", [](Bytes& b) { WriteUint16(b.data() + 8, 44); }},
        {"empty", [](Bytes& b) { b.clear(); }},
        {"only the magic", [](Bytes& b) { b.resize(10); }},
        {"cut inside the font", [](Bytes& b) { b.resize(87); }},
        {"cut inside the last record", [](Bytes& b) { b.pop_back(); }},
        {"count larger than the records", [](Bytes& b) { WriteUint32(b.data() + 10, 4); }},
        {"count beyond any grid", [](Bytes& b) { WriteUint32(b.data() + 10, 0xFFFFFFFFu); }},
        {"count whose records wrap 32 bits", [](Bytes& b) { WriteUint32(b.data() + 10, 0x05555556u); }},
        {"no columns", [](Bytes& b) { WriteUint32(b.data() + 10, 0); }},
        {"records over the font", [](Bytes& b) { WriteUint16(b.data() + 6, 40); }},
        {"records past the end", [](Bytes& b) { WriteUint16(b.data() + 6, 0xFFFF); }},
    };
    auto source = MakeModel();
    Arrange(*source);
    const Bytes good = source->BuildLayoutFileImage();

    for (const RefusedCase& c : cases) {
        auto target = MakeModel();
        target->AddColumn(21, "First");
        target->AddColumn(22, "Second");
        target->SetHeaderText("Head");
        target->SetFooterText("Foot");
        target->SetModified(true);
        // Title offsets are derived again even from a refused file.
        target->MutableColumn(2)->title_offset = 0xFFFFFF00u;
        std::vector<GridColumn> records = RecordsWithoutTitles(*target);
        const TableStyle style = target->GetTableStyle();
        const FontSpec font = target->GetFont();

        Bytes image = good;
        c.spoil(image);
        EXPECT_FALSE(target->ApplyLayoutFileImage(image)) << c.what;
        EXPECT_TRUE(SameRecords(RecordsWithoutTitles(*target), records)) << c.what;
        const TableStyle style_after = target->GetTableStyle();
        EXPECT_EQ(std::memcmp(&style_after, &style, sizeof style), 0) << c.what;
        const FontSpec font_after = target->GetFont();
        EXPECT_EQ(std::memcmp(&font_after, &font, sizeof font), 0) << c.what;
        EXPECT_TRUE(target->IsModified()) << c.what;
        EXPECT_EQ(Titles(*target), (std::vector<std::string>{"No", "First", "Second"})) << c.what;
        EXPECT_EQ(target->Column(2)->title_offset, 9u) << c.what;
        EXPECT_STREQ(target->GetHeaderText(), "Head") << c.what;
        EXPECT_STREQ(target->GetFooterText(), "Foot") << c.what;
    }
}

TEST_F(GridLayoutFileTest, MoreColumnsThanTitlesGetEmptyTitlesBeforeTheHeader) {
    Arrange(*model);  // three columns
    const Bytes image = model->BuildLayoutFileImage();
    auto loaded = MakeModel();  // only "No"
    loaded->SetHeaderText("Head");
    loaded->SetFooterText("Foot");
    ASSERT_TRUE(loaded->ApplyLayoutFileImage(image));
    ASSERT_EQ(loaded->ColumnCount(), 3);
    EXPECT_EQ(Titles(*loaded), (std::vector<std::string>{"No", "", ""}));
    EXPECT_EQ(loaded->Column(1)->title_offset, 3u);
    EXPECT_EQ(loaded->Column(2)->title_offset, 4u);
    EXPECT_EQ(loaded->GetHeaderText() - loaded->ColumnTitleText(0).data(), 5);
    EXPECT_STREQ(loaded->GetHeaderText(), "Head");
    EXPECT_STREQ(loaded->GetFooterText(), "Foot");
    // The empty titles are real pool entries: they can be replaced.
    GridColumnInfo info;
    loaded->GetColumnInfo(1, info);
    std::strcpy(info.title, "Name");
    ASSERT_TRUE(loaded->SetColumnInfo(1, info));
    EXPECT_EQ(Titles(*loaded), (std::vector<std::string>{"No", "Name", ""}));
    EXPECT_STREQ(loaded->GetFooterText(), "Foot");
}

TEST_F(GridLayoutFileTest, ColumnsTheFileDoesNotListFollowItsOwn) {
    const Bytes one_column = MakeModel()->BuildLayoutFileImage();
    model->AddColumn(11, "Name");
    model->AddColumn(12, "Amount");
    model->SetHeaderText("Head");
    model->SetFooterText("Foot");
    ASSERT_TRUE(model->ApplyLayoutFileImage(one_column));
    EXPECT_EQ(model->ColumnCount(), 3);
    EXPECT_EQ(Titles(*model), (std::vector<std::string>{"No", "Name", "Amount"}));
    EXPECT_EQ(model->GetHeaderText() - model->ColumnTitleText(0).data(), 15);
    EXPECT_STREQ(model->GetHeaderText(), "Head");
    EXPECT_STREQ(model->GetFooterText(), "Foot");
    ASSERT_TRUE(model->AddColumn(13, "Next"));
    EXPECT_EQ(Titles(*model), (std::vector<std::string>{"No", "Name", "Amount", "Next"}));
    EXPECT_STREQ(model->GetHeaderText(), "Head");

    // A file without the row numbers (no grid writes one) is taken without them.
    Bytes no_numbers = model->BuildLayoutFileImage();
    no_numbers.erase(no_numbers.begin() + 128, no_numbers.begin() + 128 + 48);
    WriteUint32(no_numbers.data() + 10, 3);
    ASSERT_TRUE(model->ApplyLayoutFileImage(no_numbers));
    EXPECT_EQ(Titles(*model), (std::vector<std::string>{"Name", "Amount", "Next"}));
}

TEST_F(GridLayoutFileTest, TitlesFollowTheSourcesOfAMovedArrangement) {
    // Saved: "Name" and "Amount" first, the row numbers moved behind them, and a column whose
    // source the data file has since lost; one the data file has since gained is not listed.
    Arrange(*model);
    model->AddColumn(14, "Gone");
    ASSERT_TRUE(MoveColumn(*model, 0, 2));
    const Bytes image = model->BuildLayoutFileImage();
    const std::vector<GridColumn> saved = RecordsWithoutTitles(*model);

    auto loaded = MakeModel();
    loaded->AddColumn(11, "Name");
    loaded->AddColumn(12, "Amount");
    loaded->AddColumn(13, "New");
    loaded->SetHeaderText("Head");
    ASSERT_TRUE(loaded->ApplyLayoutFileImage(image));
    EXPECT_EQ(Titles(*loaded), (std::vector<std::string>{"Name", "Amount", "No", "", "New"}));
    EXPECT_STREQ(loaded->GetHeaderText(), "Head");
    EXPECT_FALSE(loaded->IsModified());
    // The listed columns keep every setting, the hidden "Name" included.
    std::vector<GridColumn> listed = RecordsWithoutTitles(*loaded);
    listed.resize(4);
    EXPECT_TRUE(SameRecords(listed, saved));
    // The new column: visible, its title's width in the file's font (Arial 12 pt bold: eight
    // pixels a byte on screen, 31 on paper) plus the inset "o" and the margin.
    const GridColumn& added = *loaded->Column(4);
    EXPECT_EQ(added.source, 13);
    EXPECT_EQ(added.flags, +ColumnFlags::Visible);
    EXPECT_EQ(added.width, 34);
    EXPECT_EQ(added.natural_width, 34);
    EXPECT_EQ(added.print_width, 126);
    EXPECT_EQ(added.print_natural_width, 126);
    // Saved again, the arrangement comes back as it was left, the new column after it.
    auto again = MakeModel();
    again->AddColumn(11, "Name");
    again->AddColumn(12, "Amount");
    again->AddColumn(13, "New");
    ASSERT_TRUE(again->ApplyLayoutFileImage(loaded->BuildLayoutFileImage()));
    EXPECT_EQ(Titles(*again), (std::vector<std::string>{"Name", "Amount", "No", "", "New"}));
    EXPECT_EQ(again->BuildLayoutFileImage(), loaded->BuildLayoutFileImage());
}

TEST_F(GridLayoutFileTest, NoBytesOnlyRederiveTheTitles) {
    model->AddColumn(11, "Name");
    model->MutableColumn(1)->title_offset = 77;
    EXPECT_FALSE(model->ApplyLayoutFileImage(nullptr, 0));
    EXPECT_EQ(model->Column(1)->title_offset, 3u);
    EXPECT_EQ(model->ColumnTitleText(1), "Name");
}

struct MendCase {
    const char* what;
    std::size_t offset;  // of a u32 in the first record (from 128) or of a byte in the style
    std::uint32_t value;
    bool in_style;
    std::size_t check_offset;
    std::uint32_t expected;
};

TEST_F(GridLayoutFileTest, ValuesNoGridWritesAreMended) {
    const std::uint32_t huge = 0x7FFFFFFFu;
    const std::uint32_t negative = 0xFFFFFFFBu;  // -5
    const MendCase cases[] = {
        {"alignment beyond Center", 8, 7, false, 8, 0},
        {"negative alignment", 8, negative, false, 8, 0},
        {"max lines 1", 12, 1, false, 12, 0},
        {"negative max lines", 12, negative, false, 12, 0},
        {"negative width", 20, negative, false, 20, 0},
        {"huge width", 20, huge, false, 20, 32767},
        {"huge natural width", 24, huge, false, 24, 32767},
        {"negative print width", 28, negative, false, 28, 0},
        {"huge print natural width", 32, huge, false, 32, 32767},
        {"huge character width", 40, huge, false, 40, 32767},
        {"negative character width used", 44, negative, false, 44, 0},
        {"title offset far away", 36, huge, false, 36, 0},
        {"source kept", 0, 0x12345678, false, 0, 0x12345678},
        {"unknown flags kept", 4, 0xF0F0F0F1u, false, 4, 0xF0F0F0F1u},
        {"unknown type kept", 16, 99, false, 16, 99},
        {"line type 0", 0, 0, true, 0, 1},
        {"line type 9", 0, 9, true, 0, 1},
        {"cell height 500", 1, 500, true, 1, 0},
        {"page number position 7", 3, 7, true, 3, 3},
    };
    for (const MendCase& c : cases) {
        auto grid = MakeModel();
        Bytes image = grid->BuildLayoutFileImage();
        if (c.in_style) {
            if (c.offset == 1) {
                WriteUint16(image.data() + 26 + 1, static_cast<std::uint16_t>(c.value));
            } else {
                image[26 + c.offset] = static_cast<std::uint8_t>(c.value);
            }
        } else {
            WriteUint32(image.data() + 128 + c.offset, c.value);
        }
        ASSERT_TRUE(grid->ApplyLayoutFileImage(image)) << c.what;
        const Bytes saved = grid->BuildLayoutFileImage();
        const std::uint32_t got = c.in_style ? (c.check_offset == 1 ? ReadUint16(saved.data() + 27)
                                                                    : saved[26 + c.check_offset])
                                             : ReadUint32(saved.data() + 128 + c.check_offset);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST_F(GridLayoutFileTest, FontFromAFileIsTerminatedAndSized) {
    Bytes image = model->BuildLayoutFileImage();
    std::memset(image.data() + 34, 'A', 32);  // a face name without terminator
    WriteUint32(image.data() + 66, 0);         // size 0
    ASSERT_TRUE(model->ApplyLayoutFileImage(image));
    EXPECT_EQ(std::string(model->GetFont().face_name), std::string(31, 'A'));
    EXPECT_EQ(model->GetFont().size, 100);

    WriteUint32(image.data() + 66, 999999);
    ASSERT_TRUE(model->ApplyLayoutFileImage(image));
    EXPECT_EQ(model->GetFont().size, 100);
    WriteUint32(image.data() + 66, 140);
    ASSERT_TRUE(model->ApplyLayoutFileImage(image));
    EXPECT_EQ(model->GetFont().size, 140);
}

TEST_F(GridLayoutFileTest, TheLastTwoFontBytesStayTheGrids) {
    FontSpec font = model->GetFont();
    font.reserved_last = 0xBEEF0000u;
    model->StoreFont(font);
    Bytes image = model->BuildLayoutFileImage();
    image[86] = 0x34;
    image[87] = 0x12;
    ASSERT_TRUE(model->ApplyLayoutFileImage(image));
    EXPECT_EQ(model->GetFont().reserved_last, 0xBEEF1234u);
}

TEST_F(GridLayoutFileTest, PrintOptionsLiveInTheSpareHeaderBytesWhichTodaysRulesDoNotRead) {
    Arrange(*model);
    const Bytes plain = model->BuildLayoutFileImage();
    EXPECT_EQ(Bytes(plain.begin() + 88, plain.begin() + 128), Bytes(40, 0)) << "no options: no record";

    PrintOptions options;
    options.key_columns = 2;
    options.page_number_style = PageNumberStyle::PageOfPages;
    options.fit_to_width = 1;
    options.sum_lines = SumPlacement::PageTotals | SumPlacement::GroupTotals;
    model->SetPrintOptions(options);
    EXPECT_TRUE(model->IsModified());
    const Bytes image = model->BuildLayoutFileImage();
    const std::uint8_t record[] = {'P', 'R', 'T', '1', 2, 0, 1, 1, 5};
    EXPECT_EQ(Bytes(image.begin() + 88, image.begin() + 97), Bytes(std::begin(record), std::end(record)));
    EXPECT_EQ(Bytes(image.begin() + 97, image.begin() + 128), Bytes(31, 0)) << "room for later options";
    // Everything else is the bytes the file had without them.
    Bytes rest = image;
    std::fill(rest.begin() + 88, rest.begin() + 97, 0);
    EXPECT_EQ(rest, plain);

    auto loaded = MakeModel();
    Arrange(*loaded);
    ASSERT_TRUE(loaded->ApplyLayoutFileImage(image));
    EXPECT_TRUE(loaded->GetPrintOptions() == options);
    EXPECT_EQ(loaded->BuildLayoutFileImage(), image);
    // A file written before the options: the plain ones.
    ASSERT_TRUE(loaded->ApplyLayoutFileImage(plain));
    EXPECT_TRUE(loaded->GetPrintOptions() == PrintOptions{});
}

TEST_F(GridLayoutFileTest, PrintOptionsAreReadOnlyWhereRecordsDoNotStandAndMended) {
    Arrange(*model);
    PrintOptions options;
    options.key_columns = 3;
    model->SetPrintOptions(options);
    const Bytes image = model->BuildLayoutFileImage();
    const struct {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
        int key_columns;
        int style;
        int fit;
        int sums;
    } cases[] = {
        {"as written", 0, 0, 3, 0, 0, 0},
        {"another tag", 91, '2', 0, 0, 0, 0},
        {"keys beyond any grid", 93, 0x90, 0, 0, 0, 0},  // 0x9003
        {"unknown page-number style", 94, 7, 3, 0, 0, 0},
        {"fit to width of 9", 95, 9, 3, 0, 1, 0},
        {"every sum placement", 96, 0x0F, 3, 0, 0, 0x0F},
        {"unknown sum bits dropped", 96, 0xF6, 3, 0, 0, 0x06},
        {"a later option's byte is not read", 97, 0xFF, 3, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Bytes changed = image;
        if (c.offset != 0) changed[c.offset] = c.value;
        auto loaded = MakeModel();
        ASSERT_TRUE(loaded->ApplyLayoutFileImage(changed)) << c.what;
        const PrintOptions got = loaded->GetPrintOptions();
        EXPECT_EQ(got.key_columns, c.key_columns) << c.what;
        EXPECT_EQ(got.page_number_style, c.style) << c.what;
        EXPECT_EQ(got.fit_to_width, c.fit) << c.what;
        EXPECT_EQ(got.sum_lines, c.sums) << c.what;
    }
    // Records that start at 88 fill those bytes: they are columns, not options.
    Bytes early(88 + 48, 0);
    std::memcpy(early.data(), image.data(), 88);
    WriteUint16(early.data() + 6, 88);
    WriteUint32(early.data() + 10, 1);
    std::memcpy(early.data() + 88, "PRT1", 4);
    WriteUint32(early.data() + 88 + 20, 40);  // the column's width
    auto loaded = MakeModel();
    ASSERT_TRUE(loaded->ApplyLayoutFileImage(early));
    EXPECT_TRUE(loaded->GetPrintOptions() == PrintOptions{});
}

TEST_F(GridLayoutFileTest, ImageOfAnEmptyColumnListIsOnlyTheHeader) {
    const Bytes image = BuildLayoutFile(TableStyle{}, FontSpec{}, nullptr, 0);
    ASSERT_EQ(image.size(), 128u);
    EXPECT_EQ(ReadUint32(image.data() + 10), 0u);
    LayoutFileHeader header;
    EXPECT_FALSE(ParseLayoutFileHeader(image.data(), image.size(), header));
}

}  // namespace
