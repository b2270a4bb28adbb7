// Whole-file reads and writes, safe replacement, retrying delete and the program's folder (Win32).
#include "base/file_utils_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Closes a file handle on every path out of a scope.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Gives the handle up to a new owner.
  void Release() { handle_ = INVALID_HANDLE_VALUE; }
  // Closes now and reports whether the close itself succeeded (it may flush buffered data).
  bool Close() {
    const bool closed = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// Measures a wait against its deadline and sleeps between tries without overshooting it.
class RetryClock {
 public:
  RetryClock(unsigned deadlineMs, unsigned intervalMs)
      : start_(GetTickCount64()), deadlineMs_(deadlineMs), intervalMs_(intervalMs) {}

  // Sleeps until the next try; false when the deadline has passed and no try is left.
  bool WaitForNextTry() const {
    const ULONGLONG elapsed = GetTickCount64() - start_;
    if (elapsed >= deadlineMs_) return false;
    const ULONGLONG remaining = deadlineMs_ - elapsed;
    Sleep(static_cast<DWORD>(std::min<ULONGLONG>(intervalMs_, remaining)));
    return true;
  }

 private:
  ULONGLONG start_;
  ULONGLONG deadlineMs_;
  ULONGLONG intervalMs_;
};

bool IsEmpty(const char* path) { return !path || path[0] == '\0'; }

bool IsMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Clears the read-only attribute of an existing file; returns the attributes it had.
DWORD ClearReadOnly(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return attributes;
}

// The temporary name beside `path` under which ReplaceFileSafely writes the new contents.
bool MakeTemporaryName(const char* path, char (&temporary)[kPathBufferSize]) {
  const std::size_t length = std::strlen(path);
  if (length >= kPathBufferSize) return false;
  std::memcpy(temporary, path, length + 1);
  if (SetExtension(temporary, kPathBufferSize, "tmp") == 0) return false;
  if (lstrcmpiA(temporary, path) != 0) return true;
  // The target is itself a .tmp file: writing there first would defeat the point.
  std::memcpy(temporary, path, length + 1);
  static const char kSuffix[] = ".tmp";
  if (length + sizeof kSuffix > kPathBufferSize) return false;
  std::memcpy(temporary + length, kSuffix, sizeof kSuffix);
  return true;
}

// Opens an existing file for reading, retrying while another program holds it; an invalid handle
// when it is missing, a folder, or still held at the deadline.
HANDLE OpenForReadingWaiting(const char* path, unsigned deadlineMs, unsigned retryIntervalMs) {
  const RetryClock clock(deadlineMs, retryIntervalMs);
  for (;;) {
    HANDLE opened = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened != INVALID_HANDLE_VALUE) return opened;
    const DWORD error = GetLastError();
    if (IsMissingError(error)) return INVALID_HANDLE_VALUE;
    // Only a file that still exists can become readable: a vanished file or a folder never will.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || IsFolder(attributes)) return INVALID_HANDLE_VALUE;
    if (!clock.WaitForNextTry()) return INVALID_HANDLE_VALUE;
  }
}

}  // namespace

BlockFileReader::~BlockFileReader() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

bool BlockFileReader::Open(const char* path, unsigned deadlineMs, unsigned retryIntervalMs) {
  if (handle_ != nullptr || IsEmpty(path)) return false;
  FileHandle file(OpenForReadingWaiting(path, deadlineMs, retryIntervalMs));
  if (!file.valid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > kWholeFileSizeLimit) {
    return false;
  }
  handle_ = file.get();
  size_ = static_cast<std::int64_t>(size.QuadPart);
  file.Release();
  return true;
}

std::ptrdiff_t BlockFileReader::Read(void* buffer, std::size_t capacity) {
  if (handle_ == nullptr || buffer == nullptr) return -1;
  DWORD read = 0;
  const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(capacity, 0x40000000));
  if (!ReadFile(static_cast<HANDLE>(handle_), buffer, wanted, &read, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(read);
}

bool ReadWholeFile(const char* path, std::vector<unsigned char>& bytes, unsigned deadlineMs,
                   unsigned retryIntervalMs) {
  bytes.clear();
  if (IsEmpty(path)) return false;

  FileHandle file(OpenForReadingWaiting(path, deadlineMs, retryIntervalMs));
  if (!file.valid()) return false;

  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
  const std::uint64_t fileSize = static_cast<std::uint64_t>(size.QuadPart);
  if (fileSize > kWholeFileSizeLimit) return false;
  if (fileSize == 0) return true;

  try {
    bytes.resize(static_cast<std::size_t>(fileSize));
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The size limit keeps the whole read within one ReadFile call (a DWORD count).
  DWORD read = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(fileSize), &read, nullptr) ||
      read != fileSize) {
    bytes.clear();
    bytes.shrink_to_fit();
    return false;
  }
  return true;
}

std::size_t ReadFilePrefix(const char* path, void* buffer, std::size_t capacity) {
  if (IsEmpty(path) || (!buffer && capacity > 0)) return 0;
  FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 0;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return 0;
  const std::uint64_t wanted = std::min<std::uint64_t>(
      {static_cast<std::uint64_t>(size.QuadPart), capacity, MAXDWORD});
  if (wanted == 0) return 0;
  DWORD read = 0;
  if (!ReadFile(file.get(), buffer, static_cast<DWORD>(wanted), &read, nullptr)) return 0;
  return read;
}

void* CreateOutputFile(const char* path) {
  if (IsEmpty(path)) return INVALID_HANDLE_VALUE;
  const DWORD access = GENERIC_READ | GENERIC_WRITE;
  const HANDLE made = CreateFileA(path, access, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made != INVALID_HANDLE_VALUE) return made;
  // An existing file, or one that cannot be had: as it always was.
  return CreateFileA(path, access, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteWholeFile(const char* path, const void* bytes, std::size_t count) {
  if (IsEmpty(path) || (!bytes && count > 0)) return false;
  FileHandle file(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;

  const unsigned char* next = static_cast<const unsigned char*>(bytes);
  std::size_t left = count;
  while (left > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.get(), next, chunk, &written, nullptr) || written != chunk) return false;
    next += written;
    left -= written;
  }
  // The bytes must be on disk before ReplaceFileSafely moves the file over the old one.
  if (!FlushFileBuffers(file.get())) return false;
  return file.Close();
}

bool ReplaceFileSafely(const char* path, const void* bytes, std::size_t count,
                       unsigned deadlineMs, unsigned retryIntervalMs) {
  if (IsEmpty(path)) return false;
  char temporary[kPathBufferSize];
  if (!MakeTemporaryName(path, temporary)) return false;

  if (!WriteWholeFile(temporary, bytes, count)) {
    // Plain DeleteFileA: never force away a read-only or held file that only shares the name.
    DeleteFileA(temporary);
    return false;
  }

  const DWORD oldAttributes = ClearReadOnly(path);
  bool replaced = false;
  if (!IsFolder(oldAttributes)) {
    const RetryClock clock(deadlineMs, retryIntervalMs);
    for (;;) {
      if (MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        replaced = true;
        break;
      }
      const DWORD error = GetLastError();
      const bool blocked = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                           error == ERROR_ACCESS_DENIED;
      if (!blocked || !clock.WaitForNextTry()) break;
      ClearReadOnly(path);  // someone may have set it again meanwhile
    }
  }
  if (!replaced) {
    DeleteFileA(temporary);
    if (oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & FILE_ATTRIBUTE_READONLY)) {
      SetFileAttributesA(path, oldAttributes);
    }
  }
  return replaced;
}

bool DeleteFileRetrying(const char* path, unsigned deadlineMs, unsigned retryIntervalMs) {
  if (IsEmpty(path)) return false;
  const RetryClock clock(deadlineMs, retryIntervalMs);
  for (;;) {
    if (DeleteFileA(path)) return true;
    const DWORD error = GetLastError();
    if (IsMissingError(error)) return true;
    if (error == ERROR_ACCESS_DENIED) {
      if (IsFolder(GetFileAttributesA(path))) return false;  // DeleteFileA never removes one
      ClearReadOnly(path);
    }
    if (!clock.WaitForNextTry()) return false;
  }
}

std::size_t ProgramDirectory(char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  buffer[0] = '\0';
  char modulePath[kPathBufferSize];
  const DWORD length = GetModuleFileNameA(nullptr, modulePath, kPathBufferSize);
  if (length == 0 || length >= kPathBufferSize) return 0;  // failed or cut short
  modulePath[length] = '\0';
  const std::size_t folderLength = ModulePathToProgramDirectory(modulePath);
  if (folderLength == 0 || folderLength >= capacity) return 0;
  std::memcpy(buffer, modulePath, folderLength + 1);
  return folderLength;
}

namespace {

// The volume and file index of an existing file or folder; false when it cannot be opened.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION& identity) {
  // No access asked for: a file that another program holds can still be identified.
  FileHandle file(CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.valid() && GetFileInformationByHandle(file.get(), &identity);
}

bool SameFullPath(const char* first, const char* second) {
  char first_full[kPathBufferSize];
  char second_full[kPathBufferSize];
  const DWORD first_length = GetFullPathNameA(first, kPathBufferSize, first_full, nullptr);
  const DWORD second_length = GetFullPathNameA(second, kPathBufferSize, second_full, nullptr);
  if (first_length == 0 || first_length >= kPathBufferSize || second_length == 0 ||
      second_length >= kPathBufferSize) {
    return false;
  }
  return lstrcmpiA(first_full, second_full) == 0;
}

}  // namespace

bool SameFile(const char* first, const char* second) {
  if (IsEmpty(first) || IsEmpty(second)) return false;
  BY_HANDLE_FILE_INFORMATION first_identity;
  BY_HANDLE_FILE_INFORMATION second_identity;
  if (FileIdentity(first, first_identity) && FileIdentity(second, second_identity)) {
    return first_identity.dwVolumeSerialNumber == second_identity.dwVolumeSerialNumber &&
           first_identity.nFileIndexHigh == second_identity.nFileIndexHigh &&
           first_identity.nFileIndexLow == second_identity.nFileIndexLow;
  }
  return SameFullPath(first, second);
}
