// Helpers of the grid tests under Wine: a host for grids, a scratch folder, whole-file reads, a
// small BMP writer.
#ifndef LINTARO_TESTS_WIN_GRID_TEST_SUPPORT_H
#define LINTARO_TESTS_WIN_GRID_TEST_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "grid/grid_host_win32.h"

namespace grid_test {

// A grid's host that the test sets up: its own display information context, a printer context
// the test lends (none: the display measures for paper), the settings and the picture folder
// the test chooses, and a count of open modal work.
class TestGridHost : public GridHost {
public:
    TestGridHost() : display_(CreateICA("DISPLAY", nullptr, nullptr, nullptr)) {}
    ~TestGridHost() override {
        if (display_ != nullptr) DeleteDC(display_);
    }
    TestGridHost(const TestGridHost&) = delete;
    TestGridHost& operator=(const TestGridHost&) = delete;

    HDC DisplayContext() override { return display_; }
    HDC PrintMeasuringContext() override { return printer != nullptr ? printer : display_; }
    PrintSettings CurrentPrintSettings() override { return settings; }
    const char* PictureFolder() override { return picture_folder.c_str(); }
    void BeginModalWork() override { ++open_modal_work; }
    void EndModalWork() override { --open_modal_work; }

    HDC printer = nullptr;  // lent by the test
    PrintSettings settings = BuiltInPrintSettings();
    std::string picture_folder;
    int open_modal_work = 0;

private:
    HDC display_;
};

using Bytes = std::vector<unsigned char>;

// A fresh folder under the temporary folder; every file in it is removed at the end, also
// those the code under test created.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* name) {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + name + "_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(File(found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Plain Win32 reads and writes, independent of the code under test.
inline bool ReadBytes(const std::string& path, Bytes& bytes) {
    bytes.clear();
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    const bool ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                                      read == bytes.size());
    CloseHandle(file);
    return ok;
}

inline bool WriteBytes(const std::string& path, const Bytes& bytes) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A grey 24-bit bottom-up BMP of the given size.
inline Bytes GreyBitmap(int width, int height) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    Bytes bytes(54 + stride * static_cast<std::size_t>(height), 0x80);
    auto put32 = [&bytes](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    };
    std::fill(bytes.begin(), bytes.begin() + 54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, static_cast<std::uint32_t>(bytes.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    bytes[26] = 1;
    bytes[28] = 24;
    return bytes;
}

}  // namespace grid_test

#endif
