// The command line split into data file and format file names.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct SplitCase {
    const char* command_line;
    const char* data_file;
    const char* format_file;
};

class CommandLineSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, GivesBothNames) {
    const SplitCase& expected = GetParam();
    CommandLineNames names;
    ASSERT_TRUE(SplitCommandLine(expected.command_line, names));
    EXPECT_STREQ(names.data_file, expected.data_file);
    EXPECT_STREQ(names.format_file, expected.format_file);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineSplit,
    testing::Values(
        SplitCase{nullptr, "", ""},
        SplitCase{"", "", ""},
        SplitCase{"C:\\data\\t.rdf C:\\data\\t.rff", "C:\\data\\t.rdf", "C:\\data\\t.rff"},
        SplitCase{"C:\\data\\t.rdf", "C:\\data\\t.rdf", ""},
        SplitCase{"t.rdf", "t.rdf", ""},
        // The second path without a drive letter: the whole line is the data file.
        SplitCase{"C:\\a.rdf b.rff", "C:\\a.rdf b.rff", ""},
        // Only blanks before the second drive letter are trimmed; tabs and leading blanks stay.
        SplitCase{"  C:\\a.rdf   D:\\b.rff", "  C:\\a.rdf", "D:\\b.rff"},
        SplitCase{"C:\\a.rdf\tD:\\b.rff", "C:\\a.rdf\t", "D:\\b.rff"},
        // Quotes are not interpreted; the format file runs to the end as it stands.
        SplitCase{"\"C:\\a b.rdf\" D:\\c.rff ", "\"C:\\a b.rdf\"", "D:\\c.rff "},
        // A second path right after the first colon still splits at its drive letter.
        SplitCase{"C:D:\\x", "C:", "D:\\x"},
        SplitCase{"::", "", "::"}));

TEST(CommandLineLimits, NamesOf259CharactersFitAndLongerOnesAreRefused) {
    const std::string longest_data = "C:\\" + std::string(256, 'd');
    const std::string longest_format = "D:\\" + std::string(256, 'f');
    CommandLineNames names;
    ASSERT_TRUE(SplitCommandLine((longest_data + " " + longest_format).c_str(), names));
    EXPECT_EQ(std::string(names.data_file), longest_data);
    EXPECT_EQ(std::string(names.format_file), longest_format);

    EXPECT_FALSE(SplitCommandLine((longest_data + "x").c_str(), names));
    EXPECT_STREQ(names.data_file, "");
    EXPECT_FALSE(SplitCommandLine((longest_data + " " + longest_format + "x").c_str(), names));
    EXPECT_STREQ(names.data_file, "");
    EXPECT_STREQ(names.format_file, "");
    EXPECT_FALSE(SplitCommandLine((longest_data + "x D:\\f.rff").c_str(), names));
    EXPECT_STREQ(names.format_file, "");
}

}  // namespace
