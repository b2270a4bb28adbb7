// What a grid asks of the program that owns it: device contexts, print settings, the picture folder.
#ifndef LINTARO_GRID_GRID_HOST_WIN32_H
#define LINTARO_GRID_GRID_HOST_WIN32_H

#include <windows.h>

#include "base/print_settings.h"

// Handed to a Grid when it is made and outliving it. The grid asks whenever it needs an answer,
// never keeping one, since the owner may change them meanwhile (print setup reopens the printer
// context, a data file names another folder). All calls come on the user-interface thread.
class GridHost {
public:
    virtual ~GridHost() = default;
    // The display information context ("DISPLAY"); null when it cannot be made.
    virtual HDC DisplayContext() = 0;
    // Where the grid measures for paper: the printer information context when one is open,
    // otherwise the display information context.
    virtual HDC PrintMeasuringContext() = 0;
    // The current printer and page settings.
    virtual PrintSettings CurrentPrintSettings() = 0;
    // The folder that picture files named in cells are looked up in; valid until the next call.
    virtual const char* PictureFolder() = 0;
    // Around work that runs a modal loop while it holds the grid (a column drag): a close of
    // the program that such a loop dispatches must wait until EndModalWork.
    virtual void BeginModalWork() = 0;
    virtual void EndModalWork() = 0;
};

// BeginModalWork for the scope's life.
class GridModalWork {
public:
    explicit GridModalWork(GridHost& host) : host_(host) { host_.BeginModalWork(); }
    ~GridModalWork() { host_.EndModalWork(); }
    GridModalWork(const GridModalWork&) = delete;
    GridModalWork& operator=(const GridModalWork&) = delete;

private:
    GridHost& host_;
};

#endif
