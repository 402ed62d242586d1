// Pictures and reports as a person gets them: the built program draws the sample part, and the
// test reads the picture's pixels back (the HTML report's page is opened in a browser by
// browser/report_page_test.mjs).
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <set>

#include "io/mesh_reader.h"
#include "program_fixture.h"
#include "render/face_layers.h"
#include "render/picture.h"

namespace vexmor::cli::test {
namespace {

// The program's pictures, in the end-to-end tests' directory of their own.
using Pictures = Program;

struct Image {
  cairo_surface_t* surface;
  explicit Image(const std::string& path)
      : surface(cairo_image_surface_create_from_png(path.c_str())) {}
  ~Image() { cairo_surface_destroy(surface); }
  bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface); }
  int height() const { return cairo_image_surface_get_height(surface); }
  Rgb at(int x, int y) const {
    const auto* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    uint32_t pixel;
    std::memcpy(&pixel, row + 4 * x, 4);
    return {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8),
            static_cast<uint8_t>(pixel)};
  }
};

// How alike two colours are in hue and saturation, whatever their lightness (the shading only
// darkens a face's colour): the cosine between them as vectors.
double Likeness(const Rgb& a, const Rgb& b) {
  double dot = 0, aa = 0, bb = 0;
  for (int k = 0; k < 3; ++k) {
    dot += double(a[k]) * b[k];
    aa += double(a[k]) * a[k];
    bb += double(b[k]) * b[k];
  }
  return aa > 0 && bb > 0 ? dot / std::sqrt(aa * bb) : 0;
}

TEST_F(Pictures, TheThinRibCarriesTheThinnestBinsColour) {
  ASSERT_EQ(vexmor("sample -o tray.stl").status, 0);
  const RunResult run = vexmor("thickness tray.stl --png tray.png --json -q");
  ASSERT_EQ(run.status, 0);
  const Image image(path("tray.png"));
  ASSERT_TRUE(image.ok());

  // Not blank: the views hold many colours, and much of the page is drawn.
  std::set<uint32_t> colours;
  size_t drawn = 0, total = 0;
  for (int y = 0; y < image.height(); y += 2) {
    for (int x = 0; x < image.width(); x += 2) {
      const Rgb c = image.at(x, y);
      colours.insert(c[0] << 16 | c[1] << 8 | c[2]);
      drawn += c != Rgb{255, 255, 255};
      ++total;
    }
  }
  EXPECT_GT(colours.size(), 50u);
  EXPECT_GT(static_cast<double>(drawn) / total, 0.2);

  // The layer as the summary describes it: its bins give the colour classes.
  Report report;
  report.sections.push_back({"thickness", "", {}, run.parsed()["thickness"]});
  const Mesh tray = ReadMeshFile(path("tray.stl")).mesh;
  report.results.fields.push_back(
      {"thickness_ray", Location::kFace, std::vector<double>(tray.faceCount(), 1.0)});
  const auto layers = FaceLayersOf(report, tray, "mm");
  ASSERT_EQ(layers.size(), 1u);
  ASSERT_GE(layers[0].bins.size(), 3u);

  // The rib's side facing +x (x = 51.25 mm), seen in the isometric view: every face of it
  // away from the front wall shows the thinnest bin's colour rather than any other bin's.
  size_t checked = 0;
  for (size_t f = 0; f < tray.faceCount(); ++f) {
    const auto nodes = tray.face(f);
    bool onRib = true;
    for (int32_t n : nodes)
      onRib = onRib && tray.node(n)[0] == 51.25;
    const Vec3 c = FaceCentroid(tray, f);
    if (!onRib || c[1] < 20 || c[2] < 3) continue;
    const ScreenPoint p = PictureLocation(tray, layers, 0, 0, c);
    const Rgb seen = image.at(static_cast<int>(p.x), static_cast<int>(p.y));
    size_t best = 0;
    for (size_t b = 1; b < layers[0].bins.size(); ++b) {
      if (Likeness(seen, layers[0].binColour(b)) > Likeness(seen, layers[0].binColour(best))) {
        best = b;
      }
    }
    EXPECT_EQ(best, 0u) << "face " << f << " at (" << p.x << ", " << p.y << ") shows "
                        << int(seen[0]) << "," << int(seen[1]) << "," << int(seen[2]);
    ++checked;
  }
  EXPECT_GT(checked, 0u);
}

// Every command that draws writes each format, a row per analysis; a picture path that cannot
// be written is refused before the analysis, naming the path, and nothing is printed.
TEST_F(Pictures, EveryDrawingCommandWritesEachFormat) {
  ASSERT_EQ(vexmor("sample -o tray.off").status, 0);
  const struct {
    const char* command;
    int rows;
  } cases[] = {{"thickness tray.off --min 1.5", 1},
               {"gradient tray.off --max 0.5", 1},
               {"draft tray.off --pull -y", 1},
               {"dihedral tray.off --signed --per-node", 1},
               {"analyze tray.off", 4}};
  int oneRowHeight = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    ASSERT_EQ(vexmor(std::string(c.command) + " -q --png p.png --svg p.svg --pdf p.pdf").status, 0);
    EXPECT_EQ(read("p.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_NE(read("p.svg").substr(0, 200).find("<svg"), std::string::npos);
    EXPECT_EQ(read("p.pdf").substr(0, 5), "%PDF-");
    const Image image(path("p.png"));
    ASSERT_TRUE(image.ok());
    if (c.rows == 1) oneRowHeight = image.height();
    if (c.rows > 1) {
      EXPECT_GT(image.height(), 3 * oneRowHeight);
    }
  }
  const RunResult run = vexmor("draft tray.off -q --png no/such/folder/p.png");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.complains("no/such/folder/p.png")) << run.err;
  EXPECT_EQ(run.out, "");  // the path is checked before the analysis runs
}

}  // namespace
}  // namespace vexmor::cli::test
