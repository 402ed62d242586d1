#include "render/picture.h"

#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "io/file_writer.h"
#include "io/text_output.h"
#include "render/shaded_view.h"

namespace vexmor::cli {
namespace {

// The page, in pixels of the PNG (points of the PDF and SVG).
constexpr double kMargin = 16, kGap = 16, kTitleHeight = 62;
constexpr double kViewWidth = 560, kViewHeight = 440, kViewInset = 12, kCaptionHeight = 24;
constexpr double kBarColumn = 250;
// A view drawn as more shapes than this goes into a PDF or SVG as an image.
constexpr size_t kVectorShapeLimit = 20000;
// Views are drawn without antialiasing (which would let the background show through the seams
// between faces) at this many pixels per pixel, then scaled down smoothly.
constexpr int kSupersample = 2;

// The text's font, DejaVu Sans from Debian's fonts-dejavu-core, read straight from its files
// so that every machine draws the same letters; where they are missing, whatever sans-serif
// font the system offers.
const char* const kFontFiles[2] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                                   "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"};

// Loaded once and kept for the program's life, as Cairo may hold on to them in its caches.
cairo_font_face_t* FontFace(bool bold) {
  static const auto faces = [] {
    std::array<cairo_font_face_t*, 2> loaded{nullptr, nullptr};
    static FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return loaded;
    for (int k = 0; k < 2; ++k) {
      FT_Face face = nullptr;
      if (FT_New_Face(library, kFontFiles[k], 0, &face) != 0) continue;
      loaded[k] = cairo_ft_font_face_create_for_ft_face(face, 0);
    }
    return loaded;
  }();
  return faces[bold ? 1 : 0];
}
constexpr Rgb kInk = {30, 30, 30}, kMutedInk = {100, 100, 100};

struct Rect {
  double x, y, width, height;
};

double RowHeading(size_t rows) {
  return rows > 1 ? 30 : 0;
}

double RowHeight(size_t rows) {
  return RowHeading(rows) + kViewHeight + kCaptionHeight + kGap;
}

double PageWidth() {
  return kMargin + 2 * kViewWidth + kGap + kBarColumn + kMargin;
}

double PageHeight(size_t rows) {
  return kTitleHeight + rows * RowHeight(rows) + kMargin - kGap;
}

double RowTop(size_t rows, size_t row) {
  return kTitleHeight + row * RowHeight(rows);
}

Rect ViewRect(size_t rows, size_t row, int view) {
  return {kMargin + view * (kViewWidth + kGap), RowTop(rows, row) + RowHeading(rows), kViewWidth,
          kViewHeight};
}

ViewCamera CameraFor(const FaceLayer& layer, int view) {
  return view == 0 ? ViewCamera::Isometric()
                   : ViewCamera::Along(layer.pull.value_or(Vec3{0, 0, 1}));
}

// The fit within a view's rectangle, in the rectangle's own coordinates.
ViewFit FitFor(const Mesh& mesh, const ViewCamera& camera) {
  return ViewFit(mesh, camera, kViewInset, kViewInset, kViewWidth - 2 * kViewInset,
                 kViewHeight - 2 * kViewInset);
}

std::string ViewCaption(const FaceLayer& layer, int view) {
  if (view == 0) return "isometric view, z up";
  if (!layer.pull) return "from above, looking down z";
  const Vec3& p = *layer.pull;
  return "seen from the pull direction (" + FormatValue(p[0]) + ", " + FormatValue(p[1]) + ", " +
         FormatValue(p[2]) + ")";
}

void SetColour(cairo_t* cr, const Rgb& c) {
  cairo_set_source_rgb(cr, c[0] / 255.0, c[1] / 255.0, c[2] / 255.0);
}

enum class Align { kLeft, kCentre, kRight };

// Text with its baseline at y, shortened with an ellipsis to fit `maxWidth` when given.
void Text(cairo_t* cr, double x, double y, std::string text, double size, bool bold,
          const Rgb& colour, Align align = Align::kLeft, double maxWidth = 0) {
  if (cairo_font_face_t* face = FontFace(bold)) {
    cairo_set_font_face(cr, face);
  } else {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  }
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  if (maxWidth > 0 && extents.x_advance > maxWidth) {
    while (!text.empty() && extents.x_advance > maxWidth) {
      text.pop_back();
      // Never cut a UTF-8 sequence in two.
      while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
        text.pop_back();
      cairo_text_extents(cr, (text + "…").c_str(), &extents);
    }
    text += "…";
  }
  const double shift = align == Align::kLeft     ? 0
                       : align == Align::kCentre ? extents.x_advance / 2
                                                 : extents.x_advance;
  SetColour(cr, colour);
  cairo_move_to(cr, x - shift, y);
  cairo_show_text(cr, text.c_str());
}

// Where a value sits along the colour bar, 0 (bottom) to 1 (top): the bins take equal lengths.
double BarPosition(const FaceLayer& layer, double value) {
  const auto& bins = layer.bins;
  if (value <= bins.front().from) return 0;
  if (value >= bins.back().to) return 1;
  const int b = std::max(layer.binOf(value), 0);
  const HistogramBin& bin = bins[static_cast<size_t>(b)];
  const double within = bin.to > bin.from ? (value - bin.from) / (bin.to - bin.from) : 0.5;
  return (b + std::clamp(within, 0.0, 1.0)) / bins.size();
}

void Swatch(cairo_t* cr, double x, double y, const Rgb& colour) {
  SetColour(cr, colour);
  cairo_rectangle(cr, x, y, 14, 14);
  cairo_fill(cr);
}

void DrawColourBar(cairo_t* cr, const FaceLayer& layer, double x, double top, double height) {
  const Rgb bad = kFlaggedColour;
  Text(cr, x, top + 14, UnitLabel(layer.unit), 13, true, kInk);
  const size_t missing = static_cast<size_t>(std::count_if(
      layer.values.begin(), layer.values.end(), [](double v) { return !std::isfinite(v); }));
  const size_t flagged = layer.flaggedCount();
  const double legend =
      (flagged > 0 || !layer.thresholds.empty() ? 38 : 0) + (missing > 0 ? 22 : 0);
  const double barX = x + 26, barWidth = 24;
  const double barTop = top + 48, barBottom = top + height - 30 - legend;
  Text(cr, x, top + 36, layer.highEnd + (layer.highBad ? "  (bad end)" : ""), 12, layer.highBad,
       layer.highBad ? bad : kMutedInk, Align::kLeft, kBarColumn - 20);
  Text(cr, x, barBottom + 20, layer.lowEnd + (layer.lowBad ? "  (bad end)" : ""), 12, layer.lowBad,
       layer.lowBad ? bad : kMutedInk, Align::kLeft, kBarColumn - 20);
  if (layer.bins.empty()) {
    Text(cr, barX, (barTop + barBottom) / 2, "no values", 12, false, kMutedInk);
  } else {
    const size_t n = layer.bins.size();
    const double step = (barBottom - barTop) / n;
    for (size_t b = 0; b < n; ++b) {
      SetColour(cr, layer.binColour(b));
      cairo_rectangle(cr, barX, barBottom - (b + 1) * step, barWidth, step);
      cairo_fill(cr);
    }
    // Bin edges, fewer when the bins are too thin for a label each.
    const size_t every = std::max<size_t>(1, static_cast<size_t>(std::ceil(15 / step)));
    for (size_t b = 0; b <= n; ++b) {
      if (b % every != 0 && b != n) continue;
      const double value = b < n ? layer.bins[b].from : layer.bins.back().to;
      const double y = barBottom - b * step;
      SetColour(cr, kInk);
      cairo_rectangle(cr, barX + barWidth, y - 0.5, 5, 1);
      cairo_fill(cr);
      Text(cr, barX + barWidth + 8, y + 4, layer.label(value), 11, false, kInk);
    }
    // The flagged ranges, as a red band beside the bar.
    auto band = [&](double from, double to) {
      const double a = BarPosition(layer, from), z = BarPosition(layer, to);
      if (z <= a) return;
      SetColour(cr, bad);
      cairo_rectangle(cr, barX - 10, barBottom - z * (barBottom - barTop), 6,
                      (z - a) * (barBottom - barTop));
      cairo_fill(cr);
    };
    if (layer.flagBelow) band(layer.bins.front().from, *layer.flagBelow);
    if (layer.flagAbove) band(*layer.flagAbove, layer.bins.back().to);
    if (layer.flagWithin) band(-*layer.flagWithin, *layer.flagWithin);
    // A threshold that flags no face: a line across the bar, named on its left.
    auto mark = [&](double value) {
      if (value < layer.bins.front().from || value > layer.bins.back().to) return;
      const double y = barBottom - BarPosition(layer, value) * (barBottom - barTop);
      SetColour(cr, kInk);
      cairo_rectangle(cr, barX - 4, y - 1, barWidth + 4, 2);
      cairo_fill(cr);
      Text(cr, barX - 6, y + 4, layer.markLabel, 10, false, kInk, Align::kRight);
    };
    if (layer.mark) {
      mark(*layer.mark);
      if (layer.scale == ColourScale::kDiverging) mark(-*layer.mark);
    }
  }
  double y = barBottom + 34;
  if (layer.flags()) {
    Swatch(cr, x, y, bad);
    Text(cr, x + 20, y + 11, layer.thresholds.substr(layer.thresholds.find(':') + 2), 11, false,
         kInk, Align::kLeft, kBarColumn - 28);
    Text(cr, x + 20, y + 26, FormatCount(flagged) + (flagged == 1 ? " face" : " faces"), 11, false,
         kMutedInk);
    y += 38;
  }
  if (missing > 0) {
    Swatch(cr, x, y, kNoValueColour);
    Text(cr, x + 20, y + 11,
         "no value: " + FormatCount(missing) + (missing == 1 ? " face" : " faces"), 11, false, kInk,
         Align::kLeft, kBarColumn - 28);
  }
}

// The views are shared between rows that look the same way.
class ViewCache {
 public:
  ViewCache(const Mesh& mesh, int cullSign) : mesh_(mesh), cullSign_(cullSign) {}
  const ShadedView& get(const ViewCamera& camera) {
    for (const auto& [toward, view] : views_) {
      if (toward == camera.toward) return *view;
    }
    const ViewFit fit = FitFor(mesh_, camera);
    views_.emplace_back(camera.toward, std::make_unique<ShadedView>(mesh_, fit, 0, 0, kViewWidth,
                                                                    kViewHeight, 1.0, cullSign_));
    return *views_.back().second;
  }

 private:
  const Mesh& mesh_;
  int cullSign_;
  std::vector<std::pair<Vec3, std::unique_ptr<ShadedView>>> views_;
};

void PaintView(cairo_t* page, const ShadedView& view, const std::vector<Rgb>& colours,
               const Rect& at, bool asVectors) {
  cairo_save(page);
  cairo_translate(page, at.x, at.y);
  cairo_rectangle(page, 0, 0, at.width, at.height);
  cairo_clip(page);
  if (asVectors) {
    view.draw(page, colours, 0.4);
    cairo_restore(page);
    return;
  }
  cairo_surface_t* image =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(at.width * kSupersample),
                                 static_cast<int>(at.height * kSupersample));
  cairo_t* cr = cairo_create(image);
  cairo_scale(cr, kSupersample, kSupersample);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  view.draw(cr, colours, 0);
  cairo_destroy(cr);
  cairo_scale(page, 1.0 / kSupersample, 1.0 / kSupersample);
  cairo_set_source_surface(page, image, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(page), CAIRO_FILTER_GOOD);
  cairo_paint(page);
  cairo_restore(page);
  cairo_surface_destroy(image);
}

// +1: faces wound outwards, skip those turned away; -1: wound inwards; 0: draw all.
int CullSign(const Mesh& mesh, bool consistentWinding) {
  if (!consistentWinding) return 0;
  double volume = 0;
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    if (nodes.size() < 3) continue;
    const Vec3 a = mesh.node(static_cast<size_t>(nodes[0]));
    for (size_t k = 1; k + 1 < nodes.size(); ++k) {
      const Vec3 b = mesh.node(static_cast<size_t>(nodes[k]));
      const Vec3 c = mesh.node(static_cast<size_t>(nodes[k + 1]));
      volume += a[0] * (b[1] * c[2] - b[2] * c[1]) + a[1] * (b[2] * c[0] - b[0] * c[2]) +
                a[2] * (b[0] * c[1] - b[1] * c[0]);
    }
  }
  return volume > 0 ? 1 : volume < 0 ? -1 : 0;
}

void DrawPage(cairo_t* cr, const Mesh& mesh, const std::vector<FaceLayer>& layers,
              const PictureRequest& request, bool vectorPage) {
  const size_t rows = layers.size();
  SetColour(cr, {255, 255, 255});
  cairo_paint(cr);
  const double textWidth = PageWidth() - 2 * kMargin;
  if (rows == 1) {
    const FaceLayer& layer = layers.front();
    Text(cr, kMargin, 28, request.part + "  ·  " + layer.title + " (" + UnitLabel(layer.unit) + ")",
         20, true, kInk, Align::kLeft, textWidth);
    Text(cr, kMargin, 50,
         layer.thresholds.empty() ? "no threshold given"
                                  : layer.thresholds + (layer.flags() ? " (red)" : ""),
         13, false, kMutedInk, Align::kLeft, textWidth);
  } else {
    Text(cr, kMargin, 28, request.part + "  ·  " + request.command, 20, true, kInk, Align::kLeft,
         textWidth);
    Text(cr, kMargin, 50, "one row per analysis; faces flagged by a threshold are red", 13, false,
         kMutedInk, Align::kLeft, textWidth);
  }
  ViewCache cache(mesh, CullSign(mesh, request.consistentWinding));
  for (size_t row = 0; row < rows; ++row) {
    const FaceLayer& layer = layers[row];
    if (rows > 1) {
      Text(cr, kMargin, RowTop(rows, row) + 20,
           layer.title + " (" + UnitLabel(layer.unit) + ")" +
               (layer.thresholds.empty() ? "" : "  ·  " + layer.thresholds),
           15, true, kInk, Align::kLeft, textWidth);
    }
    const std::vector<Rgb> colours = layer.faceColours();
    for (int v = 0; v < 2; ++v) {
      const Rect at = ViewRect(rows, row, v);
      const ShadedView& view = cache.get(CameraFor(layer, v));
      const bool asVectors =
          vectorPage && view.paintedFaces() + view.paintedPixels() <= kVectorShapeLimit;
      PaintView(cr, view, colours, at, asVectors);
      Text(cr, at.x + at.width / 2, at.y + at.height + 16, ViewCaption(layer, v), 12, false,
           kMutedInk, Align::kCentre, at.width);
    }
    const Rect first = ViewRect(rows, row, 0);
    DrawColourBar(cr, layer, kMargin + 2 * kViewWidth + kGap + 18, first.y, first.height);
  }
}

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool PicturesAvailable() {
  return true;
}

void WritePicture(const Mesh& mesh, const std::vector<FaceLayer>& layers,
                  const PictureRequest& request, PictureFormat format, const std::string& path) {
  if (layers.empty()) throw std::runtime_error(path + ": nothing to draw");
  const double width = PageWidth(), height = PageHeight(layers.size());
  std::string bytes;
  cairo_surface_t* surface = nullptr;
  switch (format) {
    case PictureFormat::kPng:
      surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width),
                                           static_cast<int>(std::ceil(height)));
      break;
    case PictureFormat::kSvg:
      surface = cairo_svg_surface_create_for_stream(AppendToString, &bytes, width, height);
      break;
    case PictureFormat::kPdf:
      surface = cairo_pdf_surface_create_for_stream(AppendToString, &bytes, width, height);
      break;
  }
  cairo_t* cr = cairo_create(surface);
  DrawPage(cr, mesh, layers, request, format != PictureFormat::kPng);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (format == PictureFormat::kPng && status == CAIRO_STATUS_SUCCESS) {
    status = cairo_surface_write_to_png_stream(surface, AppendToString, &bytes);
  }
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(path + ": cannot draw the picture: " + cairo_status_to_string(status));
  }
  WriteFileBytes(path, bytes);
}

ScreenPoint PictureLocation(const Mesh& mesh, const std::vector<FaceLayer>& layers, size_t row,
                            int view, const Vec3& point) {
  const Rect at = ViewRect(layers.size(), row, view);
  const ScreenPoint p = FitFor(mesh, CameraFor(layers[row], view)).project(point);
  return {p.x + at.x, p.y + at.y, p.depth};
}

}  // namespace vexmor::cli
