// Second process for the file utility tests: holds a file exclusively, or reports its own folder.
//   file_helper hold <path> <milliseconds> <ready-event> [<text>]
//     Opens (or creates) the file with no sharing, sets the named event, holds it for the given
//     time, then writes <text> over its contents (when given) and closes it.
//   file_helper hold-marked <path> <milliseconds> <ready-file> [<text>]
//     The same, but tells that it holds the file by creating <ready-file>: for callers outside
//     Wine (the end-to-end tests), which cannot wait on a Windows event.
//   file_helper program-directory <out-path>
//     Writes what ProgramDirectory returns for this executable to <out-path>.
// Exit code 0 on success, 2 on bad arguments, 3 when a file or the event cannot be used.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "base/file_utils_win32.h"

namespace {

bool SetReadyEvent(const char* name) {
  const HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
  if (!ready) return false;
  SetEvent(ready);
  CloseHandle(ready);
  return true;
}

bool CreateReadyFile(const char* path) { return WriteWholeFile(path, "ready", 5); }

int HoldFile(const char* path, DWORD holdMs, bool (*tellReady)(const char*), const char* ready,
             const char* text) {
  const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  if (!tellReady(ready)) {
    CloseHandle(file);
    return 3;
  }
  Sleep(holdMs);
  int result = 0;
  if (text) {
    // Written only at the end, so a reader that sees this text read after the release.
    const DWORD length = static_cast<DWORD>(std::strlen(text));
    DWORD written = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 ||
        !WriteFile(file, text, length, &written, nullptr) || written != length ||
        !SetEndOfFile(file)) {
      result = 3;
    }
  }
  CloseHandle(file);
  return result;
}

int ReportProgramDirectory(const char* outPath) {
  char folder[kPathBufferSize];
  const std::size_t length = ProgramDirectory(folder, sizeof folder);
  if (length == 0) return 3;
  return WriteWholeFile(outPath, folder, length) ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
  const bool hold = argc >= 5 && std::strcmp(argv[1], "hold") == 0;
  const bool holdMarked = argc >= 5 && std::strcmp(argv[1], "hold-marked") == 0;
  if (hold || holdMarked) {
    return HoldFile(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)),
                    holdMarked ? CreateReadyFile : SetReadyEvent, argv[4],
                    argc >= 6 ? argv[5] : nullptr);
  }
  if (argc == 3 && std::strcmp(argv[1], "program-directory") == 0) {
    return ReportProgramDirectory(argv[2]);
  }
  return 2;
}
