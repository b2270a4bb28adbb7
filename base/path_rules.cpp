// Pure rules for building and tidying ANSI file paths.
#include "base/path_rules.h"

#include <cstring>
#include <utility>

namespace {

bool IsCapitalLatin(char c) { return c >= 'A' && c <= 'Z'; }

bool IsLatinLetter(char c) { return IsCapitalLatin(c) || (c >= 'a' && c <= 'z'); }

// Length of `text` when it is terminated within `capacity` bytes, otherwise `capacity`.
std::size_t BoundedLength(const char* text, std::size_t capacity) {
  const void* end = std::memchr(text, '\0', capacity);
  return end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : capacity;
}

}  // namespace

std::size_t FileNamePartOffset(const char* path) {
  if (!path) return 0;
  std::size_t offset = 0;
  for (std::size_t i = 0; path[i] != '\0'; ++i) {
    if (path[i] == '\\' || path[i] == ':') offset = i + 1;
  }
  return offset;
}

const char* FileNamePart(const char* path) {
  return path ? path + FileNamePartOffset(path) : "";
}

std::size_t SetExtension(char* path, std::size_t capacity, const char* extension) {
  if (!path || capacity == 0) return 0;
  const std::size_t length = BoundedLength(path, capacity);
  if (length == 0 || length == capacity) return 0;
  if (!extension) extension = "";

  const std::size_t nameStart = FileNamePartOffset(path);
  const char* lastDot = std::strrchr(path + nameStart, '.');
  // Where the extension text goes: just after the existing dot, or after a dot we append.
  const std::size_t extensionStart =
      lastDot ? static_cast<std::size_t>(lastDot - path) + 1 : length + 1;
  const std::size_t extensionLength = std::strlen(extension);
  const std::size_t newLength = extensionStart + extensionLength;
  if (newLength >= capacity) return 0;

  if (!lastDot) path[length] = '.';
  std::memcpy(path + extensionStart, extension, extensionLength);
  path[newLength] = '\0';
  return newLength;
}

bool JoinPath(const char* folder, const char* name, char* out, std::size_t capacity) {
  if (!out || capacity == 0) return false;
  if (!folder) folder = "";
  if (!name) name = "";
  const std::size_t folderLength = std::strlen(folder);
  const std::size_t nameLength = std::strlen(name);
  const bool needsSeparator = folderLength > 0 && folder[folderLength - 1] != '\\';
  const std::size_t total = folderLength + (needsSeparator ? 1 : 0) + nameLength;
  if (total >= capacity) return false;

  std::memmove(out, folder, folderLength);  // memmove: `out` may be `folder` itself
  std::size_t at = folderLength;
  if (needsSeparator) out[at++] = '\\';
  std::memcpy(out + at, name, nameLength);
  out[total] = '\0';
  return true;
}

std::size_t TidyFolderLetterCase(char* path) {
  if (!path) return 0;
  const std::size_t length = std::strlen(path);
  // Walking backwards means path[i - 1] still holds its original byte when path[i] is judged.
  for (std::size_t i = length; i-- > 1;) {
    if (IsCapitalLatin(path[i]) && IsCapitalLatin(path[i - 1])) {
      path[i] = static_cast<char>(path[i] - 'A' + 'a');
    }
  }
  return length;
}

std::size_t ModulePathToProgramDirectory(char* modulePath) {
  if (!modulePath) return 0;
  char* lastSeparator = std::strrchr(modulePath, '\\');
  if (!lastSeparator) {
    modulePath[0] = '\0';
    return 0;
  }
  *lastSeparator = '\0';
  return TidyFolderLetterCase(modulePath);
}

OutputPathProblem MakeOutputPath(std::string_view typed, const char* extension,
                                 std::string& final_path) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  while (!typed.empty() && blank(typed.front())) typed.remove_prefix(1);
  while (!typed.empty() && blank(typed.back())) typed.remove_suffix(1);
  if (typed.empty()) return OutputPathProblem::Empty;

  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const bool drive_root = typed.size() >= 3 && IsLatinLetter(typed[0]) && typed[1] == ':' &&
                          separator(typed[2]);
  const bool network = typed.size() >= 3 && separator(typed[0]) && separator(typed[1]) &&
                       !separator(typed[2]);
  if (!drive_root && !network) return OutputPathProblem::NotFull;

  const std::size_t name_start = typed.find_last_of("\\/:") + 1;
  const std::string_view name = typed.substr(name_start);
  if (name.find_first_not_of('.') == std::string_view::npos) return OutputPathProblem::NoFileName;

  std::string path(typed);
  if (extension != nullptr) {
    const std::size_t dot = name.rfind('.');
    // ".csv" alone would be a file named by its extension only.
    if (dot == 0) return OutputPathProblem::NoFileName;
    path.resize(dot == std::string_view::npos ? path.size() : name_start + dot);
    path.append(".").append(extension);
  }
  if (path.size() > kPathBufferSize - 1) return OutputPathProblem::TooLong;
  final_path = std::move(path);
  return OutputPathProblem::None;
}
