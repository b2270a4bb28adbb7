// Picture cells: BMP files named in a cell, loaded as device bitmaps and drawn on screen or paper.
#include "render/picture_cell_win32.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/file_utils_win32.h"
#include "base/path_rules.h"
#include "render/bitmap_file.h"
#include "render/draw_primitives_win32.h"
#include "render/gdi_text_meter_win32.h"

namespace {

int FontHeightOf(HDC dc) {
    TEXTMETRICA metrics{};
    return GetTextMetricsA(dc, &metrics) ? metrics.tmHeight : 0;
}

HBITMAP LoadPicture(HDC dc, const char* text, const char* folder) {
    if (text == nullptr || text[0] == '\0') return nullptr;
    char path[kPathBufferSize];
    if (!ResolvePicturePath(folder, text, path, sizeof path)) return nullptr;
    return LoadBitmapFile(dc, path);
}

void FillAroundPicture(HDC dc, const RECT& rect, PicturePosition at, PictureSize size) {
    const FillBands bands = BandsAroundBox(
        ToPixelRect(rect), PixelRect{at.x, at.y, at.x + size.width, at.y + size.height});
    for (int i = 0; i < bands.count; ++i) {
        const RECT band = ToRect(bands.bands[i]);
        FillRect(dc, &band, WhiteBrush());
    }
}

void FinishCell(HDC dc, const RECT& rect, int lineType) {
    ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    DrawVerticalRule(dc, rect.right, rect.top, rect.bottom, lineType);
}

PixelsPerInch DisplayPixelsPerInch(HDC display) {
    if (display != nullptr) {
        return PixelsPerInch{GetDeviceCaps(display, LOGPIXELSX),
                             GetDeviceCaps(display, LOGPIXELSY)};
    }
    const HDC screen = GetDC(nullptr);
    const PixelsPerInch result{GetDeviceCaps(screen, LOGPIXELSX),
                               GetDeviceCaps(screen, LOGPIXELSY)};
    ReleaseDC(nullptr, screen);
    return result;
}

}  // namespace

bool ResolvePicturePath(const char* folder, const char* name, char* out, std::size_t capacity) {
    return folder != nullptr && JoinPath(folder, name, out, capacity);
}

HBITMAP LoadBitmapFile(HDC dc, const char* path) {
    std::vector<unsigned char> bytes;
    // One try, no waiting: a picture is read again at every measure and paint, so one that
    // another program holds now shows as missing and appears at a later paint once it is free.
    if (path == nullptr || !ReadWholeFile(path, bytes, kReadOnceDeadlineMs)) return nullptr;
    BitmapFileLayout layout{};
    if (!ParseBitmapFile(bytes.data(), bytes.size(), layout)) return nullptr;

    // The header and colour table go to GDI from an aligned copy whose counts are the checked
    // ones, so GDI reads exactly the ranges ParseBitmapFile found inside the file.
    std::vector<std::uint32_t> info((layout.header_bytes + 3) / 4);
    std::memcpy(info.data(), bytes.data() + kBitmapFileHeaderSize, layout.header_bytes);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    header->biSizeImage = static_cast<DWORD>(layout.bits_size);
    header->biClrUsed = static_cast<DWORD>(layout.colour_count);

    const HDC screen = dc == nullptr ? GetDC(nullptr) : nullptr;
    const HBITMAP bitmap = CreateDIBitmap(dc != nullptr ? dc : screen, header, CBM_INIT,
                                          bytes.data() + layout.bits_offset,
                                          reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return bitmap;
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) != sizeof info)
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

void DrawBitmapAt(HDC dc, int x, int y, HBITMAP bitmap) {
    const HDC memory = CreateCompatibleDC(dc);
    if (memory == nullptr) return;
    SetMapMode(memory, GetMapMode(dc));
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    if (previous != nullptr) {
        const SIZE size = BitmapSize(bitmap);
        POINT extent{size.cx, size.cy};
        DPtoLP(dc, &extent, 1);
        POINT origin{0, 0};
        DPtoLP(memory, &origin, 1);
        BitBlt(dc, x, y, extent.x, extent.y, memory, origin.x, origin.y, SRCCOPY);
        SelectObject(memory, previous);
    }
    DeleteDC(memory);
}

void DrawPictureCell(HDC dc, const RECT& rect, int padding, int dy, int alignment, int lineType,
                     const char* text, const char* folder) {
    const HBITMAP bitmap = LoadPicture(dc, text, folder);
    if (bitmap != nullptr) {
        const SIZE bitmap_size = BitmapSize(bitmap);
        const PictureSize size{bitmap_size.cx, bitmap_size.cy};
        const PicturePosition at =
            PlacePicture(ToPixelRect(rect), padding, dy, alignment, FontHeightOf(dc), size);
        FillAroundPicture(dc, rect, at, size);
        DrawBitmapAt(dc, at.x, at.y, bitmap);
        DeleteObject(bitmap);
    } else {
        FillRect(dc, &rect, WhiteBrush());
        if (text != nullptr) {
            TextOutA(dc, rect.left + padding, rect.top + dy, text,
                     static_cast<int>(std::strlen(text)));
        }
    }
    FinishCell(dc, rect, lineType);
}

void PrintPictureCell(HDC dc, const RECT& rect, int padding, int dy, int alignment, int lineType,
                      const char* text, const char* folder, HDC display) {
    const PixelsPerInch printer{GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY)};
    PrintPictureCellAtResolution(dc, rect, padding, dy, alignment, lineType, text, folder, printer,
                                 DisplayPixelsPerInch(display));
}

void PrintPictureCellAtResolution(HDC dc, const RECT& rect, int padding, int dy, int alignment,
                                  int lineType, const char* text, const char* folder,
                                  PixelsPerInch printer, PixelsPerInch display) {
    FillRect(dc, &rect, WhiteBrush());
    const HBITMAP bitmap = LoadPicture(dc, text, folder);
    if (bitmap != nullptr) {
        const SIZE bitmap_size = BitmapSize(bitmap);
        const PictureSize printed =
            ScalePictureForPrinter(PictureSize{bitmap_size.cx, bitmap_size.cy}, printer, display);
        const PicturePosition at =
            PlacePicture(ToPixelRect(rect), padding, dy, alignment, FontHeightOf(dc), printed);
        const HDC memory = CreateCompatibleDC(dc);
        if (memory != nullptr) {
            const HGDIOBJ previous = SelectObject(memory, bitmap);
            if (previous != nullptr) {
                StretchBlt(dc, at.x, at.y, printed.width, printed.height, memory, 0, 0,
                           bitmap_size.cx, bitmap_size.cy, SRCCOPY);
                SelectObject(memory, previous);
            }
            DeleteDC(memory);
        }
        DeleteObject(bitmap);
    }
    FinishCell(dc, rect, lineType);
}
