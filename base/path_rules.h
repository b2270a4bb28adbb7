// Pure rules for building and tidying ANSI file paths; no file system access.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Paths are NUL-terminated ANSI byte strings held in buffers of this size (MAX_PATH).
constexpr std::size_t kPathBufferSize = 260;

// Index of a path's file-name part: the byte after its last '\' or ':' (0 when it has neither).
std::size_t FileNamePartOffset(const char* path);

// The file-name part itself, pointing into `path` (an empty string for a null path).
const char* FileNamePart(const char* path);

// Gives the file-name part of `path` the extension `extension` (without the dot): text after the
// part's last '.' is replaced, or '.' and the extension are appended when the part has no '.'.
// `capacity` is the size of the whole buffer. Returns the new length, or 0 when the path is empty
// or null, is not terminated within `capacity`, or the result would not fit; the buffer is then
// unchanged.
std::size_t SetExtension(char* path, std::size_t capacity, const char* extension);

// Writes folder + '\' + name to `out` (no '\' added when the folder is empty or already ends in
// one; null counts as empty). `out` may be the same buffer as `folder`; `name` must not overlap
// `out`. Returns false and leaves `out` unchanged when the result would not fit in `capacity`.
bool JoinPath(const char* folder, const char* name, char* out, std::size_t capacity);

// Softens shouting folder names in place: walking backwards from the last byte to the second, a
// capital A-Z whose preceding byte is also a capital A-Z becomes small. The preceding byte is
// judged before it is changed, so C:\PROGRAM FILES\APP becomes C:\Program Files\App. Bytes outside
// A-Z (digits, Cyrillic) are never changed. Returns the length.
std::size_t TidyFolderLetterCase(char* path);

// Turns the executable's full path into the program's folder in place: cut at the last '\'
// (no trailing '\' is kept, so C:\APP.EXE gives C:), then the letter case is tidied. Returns
// the new length, or 0 (and an empty string) when the path holds no '\'.
std::size_t ModulePathToProgramDirectory(char* modulePath);

// Why a path typed for a file that the program is to create cannot be used.
enum class OutputPathProblem {
  None,
  Empty,       // nothing but blanks
  NotFull,     // not "X:\..." nor a network name "\\server\...": it would land in whatever
               // folder happens to be current
  NoFileName,  // ends in '\', '/' or ':', its name is only dots, or nothing but the extension
               // would be left of it
  TooLong,     // the final path has more than kPathBufferSize - 1 characters
};

// The path to create for what the user typed: the bytes 0x00-0x20 around it removed, and, when
// `extension` is given, the text after the last '.' of the file name replaced by it (or '.' and
// it appended). '/' separates folders as '\' does. `final_path` is set only when the result is
// OutputPathProblem::None; the typed text is never cut to fit.
OutputPathProblem MakeOutputPath(std::string_view typed, const char* extension,
                                 std::string& final_path);
