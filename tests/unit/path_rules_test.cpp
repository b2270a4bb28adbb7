// Tests of the pure path rules: extensions, joining, file-name parts and folder letter case.
#include "base/path_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct TextCase {
  const char* input;
  const char* expected;
};

// A buffer of `capacity` bytes holding `text`, with a guard tail that must stay untouched.
class GuardedBuffer {
 public:
  GuardedBuffer(const char* text, std::size_t capacity)
      : bytes_(capacity + kGuard, kGuardByte), capacity_(capacity) {
    std::size_t length = std::strlen(text);
    if (length >= capacity) length = capacity;  // deliberately unterminated when it fills all
    std::memcpy(bytes_.data(), text, length);
    if (length < capacity) bytes_[length] = '\0';
  }
  char* data() { return bytes_.data(); }
  std::size_t capacity() const { return capacity_; }
  std::string text() const { return std::string(bytes_.data()); }
  bool GuardIntact() const {
    for (std::size_t i = capacity_; i < bytes_.size(); ++i) {
      if (bytes_[i] != kGuardByte) return false;
    }
    return true;
  }

 private:
  static constexpr std::size_t kGuard = 16;
  static constexpr char kGuardByte = '#';
  std::vector<char> bytes_;
  std::size_t capacity_;
};

TEST(PathRulesFileNamePart, StartsAfterLastBackslashOrColon) {
  const TextCase cases[] = {
      {"C:\\DATA\\TABLE.RDF", "TABLE.RDF"},
      {"C:TABLE.RDF", "TABLE.RDF"},
      {"C:\\", ""},
      {"report.txt", "report.txt"},
      {"a:b\\c:d", "d"},
      {"", ""},
      {"\\\\server\\share\\file", "file"},
  };
  for (const TextCase& c : cases) {
    EXPECT_STREQ(FileNamePart(c.input), c.expected) << "path " << c.input;
    EXPECT_EQ(FileNamePartOffset(c.input), std::strlen(c.input) - std::strlen(c.expected))
        << "path " << c.input;
  }
  EXPECT_STREQ(FileNamePart(nullptr), "");
  EXPECT_EQ(FileNamePartOffset(nullptr), 0u);
}

TEST(PathRulesSetExtension, ReplacesOrAppendsInTheFileNamePartOnly) {
  struct Case {
    const char* path;
    const char* extension;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\DATA.DIR\\TABLE", "csv", "C:\\DATA.DIR\\TABLE.csv"},
      {"report.txt", "csv", "report.csv"},
      {"name.", "csv", "name.csv"},
      {"archive.tar.gz", "csv", "archive.tar.csv"},
      {"C:\\Lintaro\\Printer.cfg", "tmp", "C:\\Lintaro\\Printer.tmp"},
      {"D:notes", "txt", "D:notes.txt"},
      {"D:.profile", "txt", "D:.txt"},
      {"report.longextension", "c", "report.c"},
      {"report.txt", "", "report."},
      {"C:\\DIR.D\\", "csv", "C:\\DIR.D\\.csv"},
  };
  for (const Case& c : cases) {
    GuardedBuffer buffer(c.path, kPathBufferSize);
    EXPECT_EQ(SetExtension(buffer.data(), buffer.capacity(), c.extension), std::strlen(c.expected))
        << "path " << c.path;
    EXPECT_EQ(buffer.text(), c.expected) << "path " << c.path;
    EXPECT_TRUE(buffer.GuardIntact());
  }
}

TEST(PathRulesSetExtension, LeavesAnEmptyPathEmpty) {
  GuardedBuffer buffer("", kPathBufferSize);
  EXPECT_EQ(SetExtension(buffer.data(), buffer.capacity(), "csv"), 0u);
  EXPECT_EQ(buffer.text(), "");
  EXPECT_EQ(SetExtension(nullptr, kPathBufferSize, "csv"), 0u);
}

TEST(PathRulesSetExtension, RefusesResultsThatDoNotFitAndLeavesTheBufferAlone) {
  // "abc" + ".csv" needs 7 bytes + terminator = 8.
  for (std::size_t capacity = 4; capacity <= 9; ++capacity) {
    GuardedBuffer buffer("abc", capacity);
    const std::size_t result = SetExtension(buffer.data(), capacity, "csv");
    if (capacity >= 8) {
      EXPECT_EQ(result, 7u) << "capacity " << capacity;
      EXPECT_EQ(buffer.text(), "abc.csv");
    } else {
      EXPECT_EQ(result, 0u) << "capacity " << capacity;
      EXPECT_EQ(buffer.text(), "abc");
    }
    EXPECT_TRUE(buffer.GuardIntact()) << "capacity " << capacity;
  }
  // A replaced extension may grow the path past the buffer too.
  GuardedBuffer grown("a.b", 6);
  EXPECT_EQ(SetExtension(grown.data(), 6, "wxyz"), 0u);
  EXPECT_EQ(grown.text(), "a.b");
  EXPECT_EQ(SetExtension(grown.data(), 6, "xyz"), 5u);
  EXPECT_EQ(grown.text(), "a.xyz");
  EXPECT_TRUE(grown.GuardIntact());
}

TEST(PathRulesSetExtension, RefusesAPathThatIsNotTerminatedWithinTheBuffer) {
  GuardedBuffer buffer("abcdef", 4);  // the four bytes hold "abcd" and no terminator
  EXPECT_EQ(SetExtension(buffer.data(), 4, "c"), 0u);
  EXPECT_TRUE(buffer.GuardIntact());
  EXPECT_EQ(SetExtension(buffer.data(), 0, "c"), 0u);
}

TEST(PathRulesSetExtension, FillsTheBufferExactly) {
  std::string path(kPathBufferSize - 5, 'x');  // 255 bytes + ".csv" = 259, the longest path
  GuardedBuffer buffer(path.c_str(), kPathBufferSize);
  EXPECT_EQ(SetExtension(buffer.data(), kPathBufferSize, "csv"), kPathBufferSize - 1);
  EXPECT_EQ(buffer.text(), path + ".csv");
  EXPECT_TRUE(buffer.GuardIntact());
  EXPECT_EQ(SetExtension(buffer.data(), kPathBufferSize, "csvx"), 0u);
  EXPECT_EQ(buffer.text(), path + ".csv");
}

TEST(PathRulesJoinPath, AddsOneSeparatorOnlyWhenNeeded) {
  struct Case {
    const char* folder;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"C:", "a.bmp", "C:\\a.bmp"},
      {"C:\\", "a.bmp", "C:\\a.bmp"},
      {"C:\\Pictures", "a.bmp", "C:\\Pictures\\a.bmp"},
      {"C:\\Pictures\\", "a.bmp", "C:\\Pictures\\a.bmp"},
      {"", "a.bmp", "a.bmp"},
      {nullptr, "a.bmp", "a.bmp"},
      {"C:\\Pictures", "", "C:\\Pictures\\"},
      {"C:\\Pictures", nullptr, "C:\\Pictures\\"},
      {"C:\\Снимки", "кадър.bmp", "C:\\Снимки\\кадър.bmp"},
  };
  for (const Case& c : cases) {
    GuardedBuffer out("", kPathBufferSize);
    EXPECT_TRUE(JoinPath(c.folder, c.name, out.data(), out.capacity()))
        << "folder " << (c.folder ? c.folder : "(null)");
    EXPECT_EQ(out.text(), c.expected);
    EXPECT_TRUE(out.GuardIntact());
  }
}

TEST(PathRulesJoinPath, FailsWithoutWritingWhenTheResultDoesNotFit) {
  // "ab" + "\" + "cd" needs 5 bytes + terminator = 6.
  for (std::size_t capacity = 1; capacity <= 7; ++capacity) {
    GuardedBuffer out("old", capacity);
    const std::string before(out.data(), capacity);
    const bool joined = JoinPath("ab", "cd", out.data(), capacity);
    EXPECT_EQ(joined, capacity >= 6) << "capacity " << capacity;
    if (joined) {
      EXPECT_EQ(out.text(), "ab\\cd");
    } else {
      EXPECT_EQ(std::string(out.data(), capacity), before) << "capacity " << capacity;
    }
    EXPECT_TRUE(out.GuardIntact()) << "capacity " << capacity;
  }
  EXPECT_FALSE(JoinPath("ab", "cd", nullptr, 10));
  char none[1] = {'z'};
  EXPECT_FALSE(JoinPath("ab", "cd", none, 0));
  EXPECT_EQ(none[0], 'z');
}

TEST(PathRulesJoinPath, MayWriteOverItsFolderBuffer) {
  GuardedBuffer buffer("C:\\Data", kPathBufferSize);
  EXPECT_TRUE(JoinPath(buffer.data(), "table.rdf", buffer.data(), buffer.capacity()));
  EXPECT_EQ(buffer.text(), "C:\\Data\\table.rdf");

  GuardedBuffer tight("C:\\Data", 12);
  EXPECT_FALSE(JoinPath(tight.data(), "table.rdf", tight.data(), tight.capacity()));
  EXPECT_EQ(tight.text(), "C:\\Data");
  EXPECT_TRUE(tight.GuardIntact());
}

TEST(PathRulesTidyFolderLetterCase, LowersCapitalsThatFollowACapital) {
  const TextCase cases[] = {
      {"C:\\PROGRAM FILES\\APP", "C:\\Program Files\\App"},
      {"C:\\Program Files\\App", "C:\\Program Files\\App"},
      {"C:\\program files\\app", "C:\\program files\\app"},
      // Judged on the original bytes, so every capital after the first of a run is lowered.
      {"ABCDE", "Abcde"},
      {"C:\\MyAPPS", "C:\\MyApps"},
      {"C:\\A\\B", "C:\\A\\B"},
      {"C:\\X1Y2", "C:\\X1Y2"},
      {"C:\\LINTARO2.0\\BIN64", "C:\\Lintaro2.0\\Bin64"},
      // Cyrillic capitals and other bytes outside A-Z are left as they are.
      {"C:\\ПРОГРАМИ\\LINTARO", "C:\\ПРОГРАМИ\\Lintaro"},
      {"AБC", "AБC"},
      {"Z", "Z"},
      {"", ""},
  };
  for (const TextCase& c : cases) {
    std::string text = c.input;
    EXPECT_EQ(TidyFolderLetterCase(text.data()), text.size());
    EXPECT_EQ(text, c.expected) << "input " << c.input;
  }
  EXPECT_EQ(TidyFolderLetterCase(nullptr), 0u);
}

TEST(PathRulesModulePathToProgramDirectory, CutsAtTheLastBackslashAndTidies) {
  const TextCase cases[] = {
      {"C:\\PROGRAM FILES\\APP\\LINTARO.EXE", "C:\\Program Files\\App"},
      {"C:\\LINTARO.EXE", "C:"},
      {"Z:\\work\\build\\lintaro.exe", "Z:\\work\\build"},
      {"\\\\SERVER\\SHARE\\lintaro.exe", "\\\\Server\\Share"},
      {"C:\\Tools\\", "C:\\Tools"},
      {"lintaro.exe", ""},
      {"", ""},
  };
  for (const TextCase& c : cases) {
    std::string text = c.input;
    const std::size_t length = ModulePathToProgramDirectory(text.data());
    EXPECT_STREQ(text.c_str(), c.expected) << "input " << c.input;
    EXPECT_EQ(length, std::strlen(c.expected)) << "input " << c.input;
  }
}

TEST(PathRulesMakeOutputPath, RefusesPathsThatNameNoFullFileAndNeverCutsThem) {
  const std::string folder_of_250 = "C:\\" + std::string(246, 'd') + "\\";  // 250 characters
  struct OutputCase {
    std::string typed;
    const char* extension;
    OutputPathProblem problem;
    std::string final_path;
  };
  const OutputCase cases[] = {
      {"C:\\OUT\\TABLE.TXT", "csv", OutputPathProblem::None, "C:\\OUT\\TABLE.csv"},
      {"  C:\\OUT\\old\t\r\n", "csv", OutputPathProblem::None, "C:\\OUT\\old.csv"},
      {"C:\\OUT\\keep.dat", nullptr, OutputPathProblem::None, "C:\\OUT\\keep.dat"},
      {"c:/data.dir/table", "dbf", OutputPathProblem::None, "c:/data.dir/table.dbf"},
      {"\\\\server\\share\\t.txt", nullptr, OutputPathProblem::None, "\\\\server\\share\\t.txt"},
      {" \t ", "csv", OutputPathProblem::Empty, ""},
      {"old.csv", "csv", OutputPathProblem::NotFull, ""},
      {"OUT\\old.csv", nullptr, OutputPathProblem::NotFull, ""},
      {"C:old.csv", "csv", OutputPathProblem::NotFull, ""},
      {"\\OUT\\old.csv", "csv", OutputPathProblem::NotFull, ""},
      {"\\\\\\x", nullptr, OutputPathProblem::NotFull, ""},
      {"C:\\OUT\\", "csv", OutputPathProblem::NoFileName, ""},
      {"C:\\OUT/", nullptr, OutputPathProblem::NoFileName, ""},
      {"C:\\OUT\\..", "csv", OutputPathProblem::NoFileName, ""},
      {"C:\\OUT\\.hidden", "csv", OutputPathProblem::NoFileName, ""},
      {folder_of_250 + "name.txt", "csv", OutputPathProblem::None, folder_of_250 + "name.csv"},
      {folder_of_250 + "name5", "csv", OutputPathProblem::None, folder_of_250 + "name5.csv"},  // 259
      {folder_of_250 + "name56789", "csv", OutputPathProblem::TooLong, ""},  // 259 typed, 263 final
      {folder_of_250 + std::string(41, 'n') + ".csv", nullptr, OutputPathProblem::TooLong, ""},
  };
  for (const OutputCase& c : cases) {
    std::string final_path = "unchanged";
    EXPECT_EQ(MakeOutputPath(c.typed, c.extension, final_path), c.problem) << c.typed;
    EXPECT_EQ(final_path, c.problem == OutputPathProblem::None ? c.final_path : "unchanged") << c.typed;
  }
}

}  // namespace
