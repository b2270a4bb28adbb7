// Picture cells: BMP files named in a cell, loaded as device bitmaps and drawn on screen or paper.
#ifndef LINTARO_RENDER_PICTURE_CELL_WIN32_H
#define LINTARO_RENDER_PICTURE_CELL_WIN32_H

#include <windows.h>

#include <cstddef>

#include "render/draw_geometry.h"

// The full path of a picture named in a cell: `folder` joined with the name. False when the
// path does not fit.
bool ResolvePicturePath(const char* folder, const char* name, char* out, std::size_t capacity);

// Loads a BMP file as a device-dependent bitmap compatible with `dc` (the screen when null).
// Never waits: returns null for a missing or unreadable file, one another program holds open, a
// file that is not a BMP the checks of ParseBitmapFile accept, or a bitmap GDI cannot make. The
// caller deletes the bitmap.
HBITMAP LoadBitmapFile(HDC dc, const char* path);

// Width and height of a bitmap in pixels (0, 0 when it is not one).
SIZE BitmapSize(HBITMAP bitmap);

// Copies the whole bitmap to (x, y) of `dc`, through a memory context in `dc`'s mapping mode.
// Draws nothing when the bitmap cannot be selected into such a context.
void DrawBitmapAt(HDC dc, int x, int y, HBITMAP bitmap);

// A picture cell on the screen: the picture named by `text` (NUL-terminated) in `folder`,
// aligned in `rect` with the cell background around it, or, when there is no picture, the name
// itself as text. Then the cell is excluded from the clip region and its right rule drawn at
// rect.right.
void DrawPictureCell(HDC dc, const RECT& rect, int padding, int dy, int alignment, int lineType,
                     const char* text, const char* folder);

// A picture cell on the printer: as on the screen but scaled from the resolution of `display`
// (the display information context; the screen's when null) to the printer's so that the
// picture keeps its size on paper; a missing picture leaves the cell blank.
void PrintPictureCell(HDC dc, const RECT& rect, int padding, int dy, int alignment, int lineType,
                      const char* text, const char* folder, HDC display);

// PrintPictureCell with both resolutions given instead of asked of the printer and the display.
void PrintPictureCellAtResolution(HDC dc, const RECT& rect, int padding, int dy, int alignment,
                                  int lineType, const char* text, const char* folder,
                                  PixelsPerInch printer, PixelsPerInch display);

#endif
