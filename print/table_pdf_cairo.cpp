// The PDF writer: a canvas over a cairo PDF surface, driven page by page by the printer's page
// painter. The clip region the painters keep is applied to each fill, pixel and text as it is
// drawn, so the document carries no clip paths.
#include "print/table_pdf_cairo.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "grid/column_groups.h"
#include "print/cairo_fonts_cairo.h"
#include "print/page_paint.h"
#include "render/bitmap_pixels.h"
#include "render/canvas_text.h"
#include "render/code_page_1251.h"
#include "render/draw_geometry.h"

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kHundredthsOfMillimetrePerInch = 2540.0;

// Farther than any sheet reaches at any resolution.
constexpr int kFarBeyondTheSheet = 1 << 24;

cairo_rectangle_int_t ToCairo(const PixelRect& rect) {
    return cairo_rectangle_int_t{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

bool IsEmpty(const PixelRect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

class PdfCanvas : public PageCanvas {
public:
    PdfCanvas(cairo_t* cr, MeasuringDevice& device, const FontSpec& font, const char* picture_folder)
        : cr_(cr), device_(device), font_(font), picture_folder_(picture_folder),
          em_(TableFontEmPixels(font, device.Meter().PixelsPerInchY())) {
        faces_[0] = CreateTableFontFace(font, false);
        faces_[1] = CreateTableFontFace(font, true);
        allowed_ = cairo_region_create();
        ink_ = cairo_region_create();
        StartPage();
    }
    ~PdfCanvas() override {
        cairo_region_destroy(allowed_);
        cairo_region_destroy(ink_);
        cairo_font_face_destroy(faces_[0]);
        cairo_font_face_destroy(faces_[1]);
    }
    PdfCanvas(const PdfCanvas&) = delete;
    PdfCanvas& operator=(const PdfCanvas&) = delete;

    // A new sheet: nothing is taken out of the clip region, nothing is inked.
    void StartPage() {
        KeepBandFinished(0, 0);
        cairo_region_destroy(ink_);
        ink_ = cairo_region_create();
        bold_ = false;
        ChooseFace();
    }

    const TextMeter& Meter() const override { return device_.Meter(); }

    void SelectBold(bool bold) override {
        bold_ = bold && !(font_.style & kFontBold);
        device_.SelectBold(bold);
        ChooseFace();
    }

    void SetTextBackground(Shade shade) override { background_ = shade; }

    void Fill(const PixelRect& rect, Shade shade) override {
        if (IsEmpty(rect)) return;
        // The sheet is white: white only matters where something was drawn before (the end of
        // a text cut at its cell's edge, under the next cell). Most of a page's fills are white
        // on white, and leaving them out keeps the document small and quick to write.
        if (shade == Shade::White && !Inked(rect)) return;
        if (shade != Shade::White) AddInk(rect);
        SetColour(shade == Shade::LightGray ? 0xC0 / 255.0 : 1.0);
        ForEachAllowedPart(rect, [&](const cairo_rectangle_int_t& part) {
            cairo_rectangle(cr_, part.x, part.y, part.width, part.height);
        });
        cairo_fill(cr_);
    }

    void Text(int x, int y, const char* text, std::size_t count) override {
        if (count == 0) return;
        const TextExtent extent = Meter().Measure(text, count);
        Fill(PixelRect{x, y, x + extent.width, y + extent.height}, background_);
        // Glyphs may overhang their box sideways by a little (italics, the font's own advances);
        // what the clip region allows there counts. Up and down the box holds them.
        const int overhang = em_ / 4;
        const PixelRect reach{x - overhang, y, x + extent.width + overhang, y + extent.height};
        const cairo_region_overlap_t overlap = Overlap(reach);
        if (overlap == CAIRO_REGION_OVERLAP_OUT) return;
        AddInk(reach);
        const std::string utf8 = Utf8Of1251(text, count);
        // The glyphs go where the font's own advances put them, as the printer driver puts
        // them; the layout measured the text with the device's (hinted) widths, which lie within
        // a pixel or two over a cell. The document then needs no position for each glyph.
        const double baseline = y + ascent_;
        cairo_glyph_t* glyphs = nullptr;
        int glyph_count = 0;
        if (cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr_), x, baseline, utf8.data(),
                                             static_cast<int>(utf8.size()), &glyphs, &glyph_count, nullptr,
                                             nullptr, nullptr) != CAIRO_STATUS_SUCCESS) {
            return;
        }
        cairo_save(cr_);
        if (overlap == CAIRO_REGION_OVERLAP_PART) {
            ForEachAllowedPart(reach, [&](const cairo_rectangle_int_t& part) {
                cairo_rectangle(cr_, part.x, part.y, part.width, part.height);
            });
            cairo_clip(cr_);
        }
        SetColour(0.0);
        cairo_show_glyphs(cr_, glyphs, glyph_count);
        if (font_.style & (kFontUnderline | kFontStrikeOut)) {
            const double thickness = std::max(1, em_ / 14);
            if (font_.style & kFontUnderline) {
                cairo_rectangle(cr_, x, baseline + thickness, extent.width, thickness);
            }
            if (font_.style & kFontStrikeOut) {
                cairo_rectangle(cr_, x, baseline - em_ * 0.3, extent.width, thickness);
            }
            cairo_fill(cr_);
        }
        cairo_restore(cr_);
        cairo_glyph_free(glyphs);
    }

    void RuleLine(int x1, int y1, int x2, int y2, bool white) override {
        // The pixels LineTo sets: from the start point up to, not including, the end point.
        PixelRect pixels{};
        if (y1 == y2) {
            if (x1 == x2) return;
            pixels = x1 < x2 ? PixelRect{x1, y1, x2, y1 + 1} : PixelRect{x2 + 1, y1, x1 + 1, y1 + 1};
        } else if (x1 == x2) {
            pixels = y1 < y2 ? PixelRect{x1, y1, x1 + 1, y2} : PixelRect{x1, y2 + 1, x1 + 1, y1 + 1};
        } else {
            return;  // the painters draw only straight rules
        }
        strokes_.push_back(Stroke{pixels, white});
    }

    void Pixel(int x, int y, bool white) override {
        if (!cairo_region_contains_point(allowed_, x, y)) return;
        strokes_.push_back(Stroke{PixelRect{x, y, x + 1, y + 1}, white});
    }

    // Draws the page's rules and pixels. They are kept until the page is done: at the device's
    // resolution nothing drawn later covers them (the cells lie between the rules), but a reader
    // showing the page at a lower resolution would let a later fill one device pixel away cover
    // a thin rule completely. Kept in order, the white middles of double rules stay on top.
    void FinishPage() {
        cairo_set_line_width(cr_, 1.0);
        cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
        // Runs of one colour make one path each: the order between the colours is kept.
        std::size_t run = 0;
        while (run < strokes_.size()) {
            const bool white = strokes_[run].white;
            std::size_t end = run;
            for (; end < strokes_.size() && strokes_[end].white == white; ++end) {
                const PixelRect& p = strokes_[end].pixels;
                // Stroked through the pixels' middle rather than filled: readers draw a stroke
                // at least one of their own pixels wide, where a fill this thin may vanish.
                if (p.bottom - p.top == 1) {
                    cairo_move_to(cr_, p.left, p.top + 0.5);
                    cairo_line_to(cr_, p.right, p.top + 0.5);
                } else {
                    cairo_move_to(cr_, p.left + 0.5, p.top);
                    cairo_line_to(cr_, p.left + 0.5, p.bottom);
                }
            }
            SetColour(white ? 1.0 : 0.0);
            cairo_stroke(cr_);
            run = end;
        }
        strokes_.clear();
    }

    void ExcludeClip(const PixelRect& rect) override {
        if (IsEmpty(rect)) return;
        const cairo_rectangle_int_t area = ToCairo(rect);
        cairo_region_subtract_rectangle(allowed_, &area);
    }

    void KeepBandFinished(int top, int bottom) override {
        cairo_region_destroy(allowed_);
        const cairo_rectangle_int_t sheet{-kFarBeyondTheSheet, -kFarBeyondTheSheet, 2 * kFarBeyondTheSheet,
                                          2 * kFarBeyondTheSheet};
        allowed_ = cairo_region_create_rectangle(&sheet);
        if (bottom > top) {
            const cairo_rectangle_int_t band{-kFarBeyondTheSheet, top, 2 * kFarBeyondTheSheet, bottom - top};
            cairo_region_subtract_rectangle(allowed_, &band);
        }
    }

    void PictureCell(const PixelRect& cell, int padding, int dy, int alignment, int line_type,
                     const char* name) override {
        Fill(cell, Shade::White);
        BitmapPixels picture;
        if (LoadBitmapPixels(picture_folder_, name, picture)) {
            const TextMeter& meter = Meter();
            const PictureSize printed =
                ScalePictureForPrinter(PictureSize{picture.width, picture.height},
                                       PixelsPerInch{meter.PixelsPerInchX(), meter.PixelsPerInchY()},
                                       PixelsPerInch{kDisplayPixelsPerInch, kDisplayPixelsPerInch});
            const PicturePosition at = PlacePicture(cell, padding, dy, alignment, meter.FontHeight(), printed);
            DrawPicture(picture, at, printed);
            AddInk(PixelRect{at.x, at.y, at.x + printed.width, at.y + printed.height});
        }
        ExcludeClip(cell);
        PaintVerticalRule(*this, cell.right, cell.top, cell.bottom, line_type);
    }

private:
    void ChooseFace() {
        cairo_set_font_face(cr_, faces_[bold_ ? 1 : 0]);
        cairo_set_font_size(cr_, em_);
        cairo_font_extents_t extents;
        cairo_font_extents(cr_, &extents);
        ascent_ = static_cast<int>(std::lround(extents.ascent));
    }

    void SetColour(double grey) { cairo_set_source_rgb(cr_, grey, grey, grey); }

    bool Inked(const PixelRect& rect) const {
        const cairo_rectangle_int_t area = ToCairo(rect);
        return cairo_region_contains_rectangle(ink_, &area) != CAIRO_REGION_OVERLAP_OUT;
    }

    void AddInk(const PixelRect& rect) {
        if (IsEmpty(rect)) return;
        const cairo_rectangle_int_t area = ToCairo(rect);
        cairo_region_union_rectangle(ink_, &area);
    }

    cairo_region_overlap_t Overlap(const PixelRect& rect) const {
        const cairo_rectangle_int_t area = ToCairo(rect);
        return cairo_region_contains_rectangle(allowed_, &area);
    }

    template <typename Use>
    void ForEachAllowedPart(const PixelRect& rect, Use use) {
        const cairo_region_overlap_t overlap = Overlap(rect);
        if (overlap == CAIRO_REGION_OVERLAP_IN) {
            use(ToCairo(rect));
            return;
        }
        if (overlap == CAIRO_REGION_OVERLAP_OUT) return;
        const cairo_rectangle_int_t area = ToCairo(rect);
        cairo_region_t* part = cairo_region_create_rectangle(&area);
        cairo_region_intersect(part, allowed_);
        for (int i = 0; i < cairo_region_num_rectangles(part); ++i) {
            cairo_rectangle_int_t piece;
            cairo_region_get_rectangle(part, i, &piece);
            use(piece);
        }
        cairo_region_destroy(part);
    }

    void DrawPicture(const BitmapPixels& picture, PicturePosition at, PictureSize printed) {
        cairo_surface_t* image = cairo_image_surface_create_for_data(
            const_cast<unsigned char*>(reinterpret_cast<const unsigned char*>(picture.pixels.data())),
            CAIRO_FORMAT_RGB24, picture.width, picture.height, picture.width * 4);
        if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS && printed.width > 0 && printed.height > 0) {
            cairo_save(cr_);
            ForEachAllowedPart(PixelRect{at.x, at.y, at.x + printed.width, at.y + printed.height},
                               [&](const cairo_rectangle_int_t& part) {
                                   cairo_rectangle(cr_, part.x, part.y, part.width, part.height);
                               });
            cairo_clip(cr_);
            cairo_translate(cr_, at.x, at.y);
            cairo_scale(cr_, static_cast<double>(printed.width) / picture.width,
                        static_cast<double>(printed.height) / picture.height);
            cairo_set_source_surface(cr_, image, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_NEAREST);
            cairo_paint(cr_);
            cairo_restore(cr_);
        }
        cairo_surface_destroy(image);
    }

    cairo_t* cr_;
    MeasuringDevice& device_;
    FontSpec font_;
    const char* picture_folder_;
    int em_;
    cairo_font_face_t* faces_[2] = {};
    bool bold_ = false;
    int ascent_ = 0;
    Shade background_ = Shade::White;
    cairo_region_t* allowed_ = nullptr;
    cairo_region_t* ink_ = nullptr;  // what this sheet has drawn, rules aside
    struct Stroke {
        PixelRect pixels;
        bool white;
    };
    std::vector<Stroke> strokes_;
};

cairo_status_t WriteToSink(void* closure, const unsigned char* data, unsigned int length) {
    ByteSink& sink = *static_cast<ByteSink*>(closure);
    return sink.Write(data, length) == length ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

void FormatNow(char (&text)[64]) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::snprintf(text, sizeof text, "%02d.%02d.%04d, %02d:%02d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900, local.tm_hour, local.tm_min);
}

// The sheet in points, turned for landscape as the printer turns it.
void SheetInPoints(const PrintSettings& settings, double& width, double& height) {
    double across = settings.paper_width;
    double down = settings.paper_height;
    if (settings.flags & kLandscapeFlag) std::swap(across, down);
    width = across * kPointsPerInch / kHundredthsOfMillimetrePerInch;
    height = down * kPointsPerInch / kHundredthsOfMillimetrePerInch;
}

}  // namespace

bool WriteTablePdf(GridModel& grid, const PrintSettings& settings, int first_page, int last_page, ByteSink& out,
                   std::string& error, const TablePdfExtras& extras) {
    if (settings.printer_kind == kDotMatrixPrinter) {
        error = "the settings print on a dot-matrix printer, which has no pages to draw";
        return false;
    }
    double sheet_width = 0;
    double sheet_height = 0;
    SheetInPoints(settings, sheet_width, sheet_height);
    if (!(sheet_width >= 1 && sheet_height >= 1 && sheet_width <= 14400 && sheet_height <= 14400)) {
        error = "the paper size of the settings cannot be a PDF page";
        return false;
    }
    const std::vector<ColumnGroup> groups = DivideIntoColumnGroups(grid);
    const int first = first_page < 1 ? 1 : first_page;
    const int last = last_page < 1 ? 0x7FFFFFFF : last_page;
    int page_count = grid.LineCount() > 0 ? 1 : 0;
    for (int i = 0; i < grid.LineCount(); ++i) {
        if (grid.Line(i).kind == LineKind::PageBreak) ++page_count;
    }
    if (groups.empty() || first > page_count || first > last) {
        error = "there is no page to write";
        return false;
    }

    MeasuringDevice& device = grid.Device(GridDevice::Print);
    FontRun font_run(device, grid.GetFont());
    const TextMeter& meter = device.Meter();
    const int dpi_x = meter.PixelsPerInchX() > 0 ? meter.PixelsPerInchX() : 72;
    const int dpi_y = meter.PixelsPerInchY() > 0 ? meter.PixelsPerInchY() : 72;
    char now[64];
    FormatNow(now);
    const char* date = extras.date_text != nullptr ? extras.date_text : now;

    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(WriteToSink, &out, sheet_width, sheet_height);
    cairo_t* cr = cairo_create(surface);
    int pages_written = 0;
    {
        PdfCanvas canvas(cr, device, grid.GetFont(), extras.picture_folder);
        const PageOrigin sheet_origin =
            PageOriginOnSheet(grid.Metrics(GridDevice::Print).page, PageMetrics{}, false);
        // A table fitted to the width is drawn as laid out and shrunk onto the sheet from its
        // origin there, as the printer's mapping does: fonts, rules, pictures and widths together.
        const int scale = PrintScale(grid);
        const bool scaled = scale < kFullPrintScale;
        const PageOrigin origin = scaled ? PageOrigin{} : sheet_origin;
        // One pass over the lines: a page ends at each PageBreak and at the end.
        int page = 1;
        int start = 0;
        const int count = grid.LineCount();
        for (int i = 0; i <= count && page <= last; ++i) {
            if (i < count && grid.Line(i).kind != LineKind::PageBreak) continue;
            if (page >= first && i > start) {
                for (const ColumnGroup& group : groups) {
                    cairo_save(cr);
                    cairo_scale(cr, kPointsPerInch / dpi_x, kPointsPerInch / dpi_y);
                    if (scaled) {
                        cairo_translate(cr, sheet_origin.x, sheet_origin.y);
                        cairo_scale(cr, static_cast<double>(scale) / kFullPrintScale,
                                    static_cast<double>(scale) / kFullPrintScale);
                    }
                    canvas.StartPage();
                    PaintPageLines(grid, canvas, start, i, group, origin, date);
                    canvas.FinishPage();
                    cairo_restore(cr);
                    cairo_show_page(cr);
                    ++pages_written;
                }
            }
            start = i + 1;
            ++page;
        }
    }
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        error = std::string("the PDF could not be written: ") + cairo_status_to_string(status);
        return false;
    }
    return pages_written > 0;
}

void ReleasePdfFontCaches() {
    cairo_debug_reset_static_data();
    FcFini();
}
