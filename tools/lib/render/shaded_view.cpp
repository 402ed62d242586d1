#include "render/shaded_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexmor::cli {

ShadedView::ShadedView(const Mesh& mesh, const ViewFit& fit, double x, double y, double width,
                       double height, double pixel, int cullSign)
    : mesh_(mesh), x_(x), y_(y), pixel_(pixel) {
  const ViewCamera& camera = fit.camera();
  const size_t nodes = mesh.nodeCount(), faces = mesh.faceCount();
  std::vector<float> depth(nodes);
  screen_.resize(2 * nodes);
  for (size_t n = 0; n < nodes; ++n) {
    const ScreenPoint p = fit.project(mesh.node(n));
    screen_[2 * n] = static_cast<float>(p.x);
    screen_[2 * n + 1] = static_cast<float>(p.y);
    depth[n] = static_cast<float>(p.depth);
  }
  // The light comes from above the viewer's left shoulder.
  Vec3 light;
  for (int k = 0; k < 3; ++k)
    light[k] = -0.35 * camera.right[k] + 0.55 * camera.up[k] + 0.76 * camera.toward[k];
  const double lightLength = std::sqrt(Dot(light, light));

  cellsX_ = std::max(1, static_cast<int>(std::ceil(width / pixel)));
  const int cellsY = std::max(1, static_cast<int>(std::ceil(height / pixel)));
  constexpr float kEmpty = -std::numeric_limits<float>::infinity();
  std::vector<float> cellDepth(static_cast<size_t>(cellsX_) * cellsY, kEmpty);
  std::vector<uint32_t> cellFace(cellDepth.size(), 0);

  shade_.assign(faces, 1.0f);
  order_.reserve(faces / 4);
  for (size_t f = 0; f < faces; ++f) {
    const auto face = mesh.face(f);
    if (face.size() < 3) continue;
    const Vec3 normal = VectorArea(mesh, face);
    const double length = std::sqrt(Dot(normal, normal));
    const double facing = Dot(normal, camera.toward);
    if (cullSign != 0 && facing * cullSign <= 0) continue;
    // Two-sided: a face wound inwards is lit as if it faced the viewer.
    const double lambert = length > 0 ? std::fabs(Dot(normal, light)) / (length * lightLength) : 0;
    shade_[f] = static_cast<float>(0.45 + 0.55 * lambert);
    float xLo = std::numeric_limits<float>::infinity(), xHi = -xLo, yLo = xLo, yHi = -xLo;
    float nearest = kEmpty, sumX = 0, sumY = 0, sumDepth = 0;
    for (int32_t n : face) {
      const float px = screen_[2 * n], py = screen_[2 * n + 1];
      xLo = std::min(xLo, px);
      xHi = std::max(xHi, px);
      yLo = std::min(yLo, py);
      yHi = std::max(yHi, py);
      sumX += px;
      sumY += py;
      sumDepth += depth[n];
      nearest = std::max(nearest, depth[n]);
    }
    const float count = static_cast<float>(face.size());
    const float centreDepth = sumDepth / count;
    if (xHi - xLo < pixel && yHi - yLo < pixel) {
      const double fx = (sumX / count - x) / pixel, fy = (sumY / count - y) / pixel;
      if (!(fx >= 0 && fy >= 0 && fx < cellsX_ && fy < cellsY)) continue;
      const int cx = static_cast<int>(fx), cy = static_cast<int>(fy);
      const size_t cell = static_cast<size_t>(cy) * cellsX_ + cx;
      if (centreDepth > cellDepth[cell]) {
        cellDepth[cell] = centreDepth;
        cellFace[cell] = static_cast<uint32_t>(f);
      }
      continue;
    }
    order_.push_back({centreDepth, static_cast<uint32_t>(f), -1});
  }
  paintedFaces_ = order_.size();
  for (size_t cell = 0; cell < cellDepth.size(); ++cell) {
    if (cellDepth[cell] != kEmpty) {
      order_.push_back({cellDepth[cell], cellFace[cell], static_cast<int32_t>(cell)});
    }
  }
  std::sort(order_.begin(), order_.end(), [](const Item& a, const Item& b) {
    return a.depth < b.depth || (a.depth == b.depth && a.face < b.face);
  });
}

void ShadedView::GrownPolygon(cairo_t* cr, std::span<const int32_t> face, double grow) const {
  // Each edge moves out by `grow`; each corner to where its two moved edges meet, at most
  // four times `grow` away, so that a sliver's sharp corner does not shoot out.
  const size_t count = face.size();
  auto at = [&](size_t k) {
    const int32_t n = face[k % count];
    return std::array<double, 2>{screen_[2 * n], screen_[2 * n + 1]};
  };
  double area = 0;
  for (size_t k = 0; k < count; ++k) {
    const auto p = at(k), q = at(k + 1);
    area += p[0] * q[1] - q[0] * p[1];
  }
  const double outwards = area >= 0 ? 1 : -1;
  auto normalOf = [&](size_t k) {
    const auto p = at(k), q = at(k + 1);
    const double dx = q[0] - p[0], dy = q[1] - p[1], length = std::hypot(dx, dy);
    if (length == 0) return std::array<double, 2>{0, 0};
    return std::array<double, 2>{outwards * dy / length, -outwards * dx / length};
  };
  for (size_t k = 0; k < count; ++k) {
    const auto before = normalOf(k + count - 1), after = normalOf(k);
    double mx = before[0] + after[0], my = before[1] + after[1];
    const double cosine = before[0] * after[0] + before[1] * after[1];
    const double scale = std::min(1 / std::max(1 + cosine, 1e-9), 16.0);
    mx *= grow * scale;
    my *= grow * scale;
    const double reach = std::hypot(mx, my);
    if (reach > 4 * grow) {
      mx *= 4 * grow / reach;
      my *= 4 * grow / reach;
    }
    const auto p = at(k);
    k == 0 ? cairo_move_to(cr, p[0] + mx, p[1] + my) : cairo_line_to(cr, p[0] + mx, p[1] + my);
  }
}

void ShadedView::draw(cairo_t* cr, const std::vector<Rgb>& faceColours, double grow) const {
  for (const Item& item : order_) {
    const Rgb& c = faceColours[item.face];
    const double s = shade_[item.face] / 255.0;
    cairo_set_source_rgb(cr, c[0] * s, c[1] * s, c[2] * s);
    if (item.cell >= 0) {
      const int cx = item.cell % cellsX_, cy = item.cell / cellsX_;
      cairo_rectangle(cr, x_ + cx * pixel_ - grow, y_ + cy * pixel_ - grow, pixel_ + 2 * grow,
                      pixel_ + 2 * grow);
    } else {
      const auto face = mesh_.face(item.face);
      if (grow > 0) {
        GrownPolygon(cr, face, grow);
      } else {
        cairo_move_to(cr, screen_[2 * face[0]], screen_[2 * face[0] + 1]);
        for (size_t k = 1; k < face.size(); ++k)
          cairo_line_to(cr, screen_[2 * face[k]], screen_[2 * face[k] + 1]);
      }
      cairo_close_path(cr);
    }
    cairo_fill(cr);
  }
}

}  // namespace vexmor::cli
