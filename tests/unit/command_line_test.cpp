// The command line split into data file and format file names.
#include "app/command_line.h"
#include "app/job_command_line.h"

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


// Jobs: the names keep today's rules, the switches follow them.
struct JobCase {
    const char* command_line;
    JobCommandLine kind;
    const char* data_file;
    const char* format_file;
    JobAction action;
    const char* error;  // the message of an invalid line
};

class JobCommandLines : public testing::TestWithParam<JobCase> {};

TEST_P(JobCommandLines, ReadAsAJobOrAsTodaysNames) {
    const JobCase& c = GetParam();
    JobRequest job;
    std::string error;
    ASSERT_EQ(ParseJobCommandLine(c.command_line, job, error), c.kind) << error;
    if (c.kind == JobCommandLine::Invalid) {
        EXPECT_EQ(error, c.error);
        return;
    }
    EXPECT_STREQ(job.names.data_file, c.data_file);
    EXPECT_STREQ(job.names.format_file, c.format_file);
    EXPECT_EQ(job.action, c.action);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JobCommandLines,
    testing::Values(
        JobCase{"C:\\data\\t.rdf C:\\data\\t.rff", JobCommandLine::NotAJob, "", "", JobAction::None, ""},
        JobCase{"C:\\a/b.rdf", JobCommandLine::NotAJob, "", "", JobAction::None, ""},
        JobCase{"C:\\my data\\t.rdf D:\\t.rff /print", JobCommandLine::Job, "C:\\my data\\t.rdf", "D:\\t.rff",
                JobAction::Print, ""},
        JobCase{"\"C:\\my data\\t.rdf\" \"/print\" /EXPORT Csv out.csv", JobCommandLine::Job, "C:\\my data\\t.rdf",
                "/print", JobAction::Export, ""},
        JobCase{"t.rdf\t/export dbf C:\\o.dbf /dos /sort 1", JobCommandLine::Job, "t.rdf", "", JobAction::Export, ""},
        JobCase{"/print", JobCommandLine::Invalid, "", "", JobAction::None,
                "name the data file before the first switch; a name that begins with / is taken for one"},
        JobCase{"::x /print", JobCommandLine::Invalid, "", "", JobAction::None,
                "the names before the first switch give no data file"},
        JobCase{"t.rdf /sort 1", JobCommandLine::Invalid, "", "", JobAction::None, "a job needs /print or /export"},
        JobCase{"t.rdf /print /export csv o.csv", JobCommandLine::Invalid, "", "", JobAction::None,
                "give /print or /export once, not both or twice"},
        JobCase{"t.rdf /print 5-2", JobCommandLine::Invalid, "", "", JobAction::None,
                "/print pages 5-2: the first page comes after the last"},
        JobCase{"t.rdf /print 0-2", JobCommandLine::Invalid, "", "", JobAction::None,
                "/print pages 0-2: give FIRST-LAST or one page, counted from 1"},
        JobCase{"t.rdf /print /copies 99999999999", JobCommandLine::Invalid, "", "", JobAction::None,
                "/copies takes a number from 1 to 99"},
        JobCase{"t.rdf /print /copies", JobCommandLine::Invalid, "", "", JobAction::None,
                "/copies takes a number from 1 to 99"},
        JobCase{"t.rdf /export csv /dos", JobCommandLine::Invalid, "", "", JobAction::None,
                "/export needs an output file name after the format"},
        JobCase{"t.rdf /export xls o.xls", JobCommandLine::Invalid, "", "", JobAction::None,
                "/export format \"xls\" is not text, tsv, csv or dbf"},
        JobCase{"t.rdf /export csv C:\\out\\", JobCommandLine::Invalid, "", "", JobAction::None,
                "/export needs an output file name after the format"},
        JobCase{"t.rdf /print /dos", JobCommandLine::Invalid, "", "", JobAction::None, "/dos goes with /export"},
        JobCase{"t.rdf /export csv o.csv /copies 2", JobCommandLine::Invalid, "", "", JobAction::None,
                "/copies goes with /print"},
        JobCase{"t.rdf /print /landscape", JobCommandLine::Invalid, "", "", JobAction::None,
                "unknown switch /landscape; use /print, /export, /copies, /dos, /sort or /filter"},
        JobCase{"t.rdf /print extra.rff", JobCommandLine::Invalid, "", "", JobAction::None,
                "\"extra.rff\" is not a switch; the file names come before the first switch"},
        JobCase{"t.rdf /filter 1 \"a b /print", JobCommandLine::Invalid, "", "", JobAction::None,
                "a quote opened on the command line is never closed"},
        JobCase{"\"a.rdf\" \"b.rff\" \"c\" /print", JobCommandLine::Invalid, "", "", JobAction::None,
                "give the data file and at most a format file before the first switch"}));

TEST(JobCommandLineValues, PagesCopiesOutputAndStepsInOrder) {
    JobRequest job;
    std::string error;
    ASSERT_EQ(ParseJobCommandLine("C:\\t.rdf /filter 2 \"1 000,50\" \"\" amount /print 2-7 /copies 3 /sort =2024 desc",
                                  job, error),
              JobCommandLine::Job);
    EXPECT_EQ(job.first_page, 2);
    EXPECT_EQ(job.last_page, 7);
    EXPECT_EQ(job.copies, 3);
    ASSERT_EQ(job.steps.size(), 2u);
    EXPECT_TRUE(job.steps[0].is_filter);
    EXPECT_EQ(job.steps[0].filter.from, "1 000,50");
    EXPECT_EQ(job.steps[0].filter.data_type, 3);
    EXPECT_FALSE(job.steps[1].is_filter);
    EXPECT_EQ(job.steps[1].sort.column.title, "2024");

    ASSERT_EQ(ParseJobCommandLine("C:\\t.rdf /print 4", job, error), JobCommandLine::Job);
    EXPECT_EQ(job.first_page, 4);
    EXPECT_EQ(job.last_page, 4);
    ASSERT_EQ(ParseJobCommandLine("C:\\t.rdf /print", job, error), JobCommandLine::Job);
    EXPECT_EQ(job.first_page, 1);
    EXPECT_EQ(job.last_page, 0);
    EXPECT_EQ(job.copies, 1);

    ASSERT_EQ(ParseJobCommandLine("C:\\t.rdf /export TSV \"C:\\my out\\t.txt\" /DOS", job, error), JobCommandLine::Job);
    EXPECT_EQ(job.export_format, 1);
    EXPECT_EQ(job.output, "C:\\my out\\t.txt");
    EXPECT_TRUE(job.dos);

    // A 2,000-byte line of repeated sorts is read whole.
    std::string line = "C:\\t.rdf /print";
    while (line.size() < 2000) line += " /sort 1 desc";
    ASSERT_EQ(ParseJobCommandLine(line.c_str(), job, error), JobCommandLine::Job);
    EXPECT_EQ(job.steps.size(), (line.size() - 15) / 13);
}

TEST(JobErrorLines, StayOneLineWhateverTheArgumentsHeld) {
    EXPECT_EQ(JobErrorLine("unknown switch /a\r\nb\x1b"), "lintaro: unknown switch /a??b?\r\n");
    EXPECT_EQ(JobErrorLine(std::string(1000, 'x')).size(), 9u + 300u + 2u);
}

}  // namespace
