// Export to real files under Wine: the files equal the golden files, and creation and write
// failures come back as results the export command can report.
#include "print/export_writers_win32.h"

#include <malloc.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/export_sample.h"

namespace {

// The Windows path of a file in the source tree ("Z:" is the Unix root in Wine).
std::string SourcePath(const std::string& relative_to_tests) {
    std::string path = __FILE__;
    path = "Z:" + path.substr(0, path.rfind("/tests/")) + "/tests/" + relative_to_tests;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Reads a file with plain Win32 calls, independent of the code under test.
bool ReadBack(const std::string& path, std::string& bytes) {
    bytes.clear();
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    const bool ok = bytes.empty() || (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                                      read == bytes.size());
    CloseHandle(file);
    return ok;
}

class ExportFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "lintaro_export_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::string& file : created) DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
    }
    std::string File(const std::string& name) {
        created.push_back(folder + "\\" + name);
        return created.back();
    }

    std::string folder;
    std::vector<std::string> created;
};

TEST_F(ExportFiles, EveryFormatEqualsItsGoldenFile) {
    SYSTEMTIME today;
    GetLocalTime(&today);
    for (const ExportGolden& golden : ExportGoldens()) {
        std::string expected;
        ASSERT_TRUE(ReadBack(SourcePath(std::string("golden\\export\\") + golden.file), expected)) << golden.file;
        if (golden.format == kExportDbase) {  // the file carries the day it was written
            expected[1] = static_cast<char>(today.wYear - 1900);
            expected[2] = static_cast<char>(today.wMonth);
            expected[3] = static_cast<char>(today.wDay);
        }
        // A longer file of the same name is replaced, not overwritten in part.
        const std::string path = File(golden.file);
        const HANDLE old = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(old, INVALID_HANDLE_VALUE);
        const std::string filler(4000, 'x');
        DWORD written = 0;
        WriteFile(old, filler.data(), static_cast<DWORD>(filler.size()), &written, nullptr);
        CloseHandle(old);

        // Rows made on worker threads, which end after every export: whatever a thread kept for
        // itself must be given back whole, or the heap breaks a few exports later.
        for (int threads : {1, 3}) {
            auto table = MakeExportSample();
            EXPECT_EQ(ExportTableToFile(table->grid, path.c_str(), golden.format, golden.code_table, nullptr, threads),
                      ExportFileResult::Written)
                << golden.file << " on " << threads;
            std::string bytes;
            ASSERT_TRUE(ReadBack(path, bytes)) << path;
            EXPECT_EQ(bytes, expected) << golden.file << " on " << threads;
            ASSERT_EQ(_heapchk(), _HEAPOK) << golden.file << " on " << threads;
        }
    }
}

TEST_F(ExportFiles, AFileThatCannotBeCreatedIsReported) {
    const std::string held = File("held.csv");
    const HANDLE holder = CreateFileA(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::string missing_folder = folder + "\\no such folder\\table.csv";
    for (const std::string& path : {missing_folder, held, std::string()}) {
        auto table = MakeExportSample();
        EXPECT_EQ(ExportTableToFile(table->grid, path.c_str(), kExportCsv, 0), ExportFileResult::CannotCreate)
            << path;
    }
    CloseHandle(holder);
}

TEST_F(ExportFiles, WritesThatFailAreReported) {
    // A handle without write access: every WriteFile fails.
    const std::string path = File("read-only.dbf");
    CloseHandle(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const struct {
        int format;
        bool ok;  // the writer's own answer
    } cases[] = {{kExportPlainText, true}, {kExportTabSeparated, false}, {kExportDbase, true}, {kExportCsv, false}};
    for (const auto& c : cases) {
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        auto table = MakeExportSample();
        const ExportOutcome outcome = ExportTableToHandle(table->grid, file, c.format, 0);
        CloseHandle(file);
        EXPECT_EQ(outcome.ok, c.ok) << c.format;
        EXPECT_TRUE(outcome.write_failed) << c.format;
        EXPECT_EQ(outcome.rows, 0) << c.format;
    }
    auto table = MakeExportSample();
    EXPECT_FALSE(ExportTableToHandle(table->grid, INVALID_HANDLE_VALUE, kExportCsv, 0).ok);
}

// Says stop at its first question.
class StopAtOnce : public WorkProgress {
public:
    bool KeepGoing(std::int64_t, std::int64_t) override {
        ++asked;
        return false;
    }
    bool Pause(int) override { return false; }
    int asked = 0;
};

TEST_F(ExportFiles, RowsMadeOnTwoThreadsAreCancelledAndTheFileRemovedLikeOnOne) {
    auto small = MakeExportSample();
    EXPECT_EQ(ExportThreadsFor(small->grid), 1) << "a few rows are not worth a thread";
    for (int format : {kExportPlainText, kExportTabSeparated, kExportCsv, kExportDbase}) {
        for (int threads : {1, 2}) {
            const std::string path = File("stopped-" + std::to_string(format) + "-" + std::to_string(threads));
            auto table = MakeExportSample();
            StopAtOnce progress;
            EXPECT_EQ(ExportTableToFile(table->grid, path.c_str(), format, 0, &progress, threads),
                      ExportFileResult::Cancelled)
                << format << " on " << threads;
            EXPECT_EQ(progress.asked, 1) << format << " on " << threads;
            EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << format << " on " << threads;
        }
    }
}

}  // namespace
