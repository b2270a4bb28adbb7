// Helpers of the drawing tests: a memory surface with readable pixels, BMP files, a temp folder.
#ifndef LINTARO_TESTS_WIN_DRAW_TEST_SUPPORT_H
#define LINTARO_TESTS_WIN_DRAW_TEST_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace draw_test {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kBlue = RGB(0, 0, 200);
constexpr COLORREF kGray = RGB(128, 128, 128);

// A 32-bit top-down DIB section selected into a memory context compatible with the screen.
class DrawSurface {
public:
    DrawSurface(int width, int height, COLORREF background = kWhite) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
        Fill(RECT{0, 0, width, height}, background);
    }
    ~DrawSurface() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    DrawSurface(const DrawSurface&) = delete;
    DrawSurface& operator=(const DrawSurface&) = delete;

    bool ok() const { return dc_ != nullptr && bitmap_ != nullptr && bits_ != nullptr; }
    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void Fill(const RECT& rect, COLORREF colour) {
        const HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc_, &rect, brush);
        DeleteObject(brush);
    }

    // The pixel as a COLORREF; outside the surface, CLR_INVALID.
    COLORREF Pixel(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
        GdiFlush();
        const std::uint32_t value = bits_[static_cast<std::size_t>(y) * width_ + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }

    // Smallest rectangle holding every pixel of `colour` (in `area`); empty when there is none.
    RECT BoundsOfColour(COLORREF colour) const {
        return BoundsOfColourIn(RECT{0, 0, width_, height_}, colour);
    }

    RECT BoundsOfColourIn(const RECT& area, COLORREF colour) const {
        RECT bounds{area.right, area.bottom, area.left, area.top};
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                if (Pixel(x, y) != colour) continue;
                if (x < bounds.left) bounds.left = x;
                if (y < bounds.top) bounds.top = y;
                if (x + 1 > bounds.right) bounds.right = x + 1;
                if (y + 1 > bounds.bottom) bounds.bottom = y + 1;
            }
        }
        if (bounds.right <= bounds.left) return RECT{0, 0, 0, 0};
        return bounds;
    }

    // How many pixels of `rect` have `colour`.
    int CountOf(const RECT& rect, COLORREF colour) const {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) count += Pixel(x, y) == colour;
        }
        return count;
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

inline std::string Describe(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "}";
}

inline bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline int Area(const RECT& r) { return (r.right - r.left) * (r.bottom - r.top); }

// A BMP image built pixel by pixel (rows top to bottom, colours as COLORREF) and written as a
// file of the given bit count: 24 bits directly, 1, 4 or 8 bits through a palette of the colours
// that occur. Written independently of the program's own BMP code.
struct TestPicture {
    int width;
    int height;
    std::vector<COLORREF> pixels;  // row-major, top row first

    TestPicture(int w, int h, COLORREF colour) : width(w), height(h), pixels(w * h, colour) {}
    void Set(int x, int y, COLORREF colour) { pixels[y * width + x] = colour; }
};

inline void PutUint32(std::vector<unsigned char>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

inline std::vector<unsigned char> EncodeBitmap(const TestPicture& picture, int bitCount,
                                               bool topDown) {
    std::vector<COLORREF> palette;
    if (bitCount <= 8) {
        for (COLORREF colour : picture.pixels) {
            bool known = false;
            for (COLORREF entry : palette) known = known || entry == colour;
            if (!known) palette.push_back(colour);
        }
    }
    const std::size_t stride = (static_cast<std::size_t>(picture.width) * bitCount + 31) / 32 * 4;
    const std::size_t offset = 14 + 40 + 4 * palette.size();
    std::vector<unsigned char> bytes(offset + stride * picture.height, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutUint32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    PutUint32(bytes, 10, static_cast<std::uint32_t>(offset));
    PutUint32(bytes, 14, 40);
    PutUint32(bytes, 18, static_cast<std::uint32_t>(picture.width));
    PutUint32(bytes, 22, static_cast<std::uint32_t>(topDown ? -picture.height : picture.height));
    bytes[26] = 1;
    bytes[28] = static_cast<unsigned char>(bitCount);
    PutUint32(bytes, 46, static_cast<std::uint32_t>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) {
        bytes[54 + 4 * i] = GetBValue(palette[i]);
        bytes[54 + 4 * i + 1] = GetGValue(palette[i]);
        bytes[54 + 4 * i + 2] = GetRValue(palette[i]);
    }
    for (int y = 0; y < picture.height; ++y) {
        const int file_row = topDown ? y : picture.height - 1 - y;
        unsigned char* row = &bytes[offset + file_row * stride];
        for (int x = 0; x < picture.width; ++x) {
            const COLORREF colour = picture.pixels[y * picture.width + x];
            if (bitCount == 24) {
                row[3 * x] = GetBValue(colour);
                row[3 * x + 1] = GetGValue(colour);
                row[3 * x + 2] = GetRValue(colour);
                continue;
            }
            unsigned index = 0;
            while (palette[index] != colour) ++index;
            const int bit = x * bitCount;
            row[bit / 8] |= static_cast<unsigned char>(index << (8 - bitCount - bit % 8));
        }
    }
    return bytes;
}

inline bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// A fresh folder under the temporary folder, removed with its files at the end.
class TempFolder {
public:
    explicit TempFolder(const char* name) {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        path_ = std::string(base) + name + "_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        RemoveDirectoryA(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string Add(const std::string& name, const std::vector<unsigned char>& bytes) {
        const std::string file = path_ + "\\" + name;
        if (WriteFileBytes(file, bytes)) files_.push_back(file);
        return file;
    }

private:
    std::string path_;
    std::vector<std::string> files_;
};

}  // namespace draw_test

#endif
