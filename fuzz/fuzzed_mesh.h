// Turns fuzz bytes into the arguments of a library call: a small mesh whose coordinates come
// from a coarse grid, so that coincident nodes, zero-area faces and touching or intersecting
// bodies are the common case rather than the rare one.
//
// Layout of the bytes:
//   byte 0        setup: bits 0-1 the unit (1, 1e-9, 1e9, 0.5), bit 2 shift the part by 1e8,
//                 bit 3 weld nodes that share a position, bit 4 let coordinate bytes of 0xF8
//                 and above mean special values (NaN, infinities, 1e300, a denormal, a node
//                 far away), bit 5 let byte 5 lie about nbNodes and szelem.
//   bytes 1-4     parameters that the target reads as it likes (a pull direction, the
//                 thickness passed to the gradient, ...).
//   byte 5        with bit 5 of the setup only: the claimed sizes (see Claimed).
//   then records, each an opcode byte and its arguments, until the bytes run out:
//     0 tetrahedron   corner x y z, size, winding        4 node          x y z
//     1 box           corner x y z, sizes, winding       5 raw face      count, node bytes
//     2 box of quads  corner x y z, sizes, winding       6 move a node   node, x y z
//     3 octahedron    centre x y z, radius, winding      7 edit a face   face, how
//     8 nudge the last body by 1/64 of a grid step       9 merge a node into another
// Sizes of 0 are allowed, so flat and collapsed bodies occur. Raw faces may have counts of
// -2 to 7 and name invalid nodes; the claimed sizes never exceed the arrays, which are
// allocated to exactly the claimed size so that AddressSanitizer sees any read past them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <tuple>
#include <vector>

namespace vexmor::fuzz {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  // Zero once the bytes run out, so that a record cut short still decodes.
  uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct FuzzedMesh {
  // Exactly as claimed: 3 * max(nbNodes, 0) doubles and max(szelem, 0) entries.
  std::vector<double> coords;
  std::vector<int32_t> elem;
  int32_t nbNodes = 0;
  int32_t szelem = 0;
  uint8_t params[4] = {0, 0, 0, 0};

  // Caller faces as the library counts them, or -1 when the connectivity cannot be walked
  // (a face running past the end, a node number out of range).
  int32_t faceCount() const {
    int32_t faces = 0;
    for (size_t p = 0; p < elem.size();) {
      const int32_t n = elem[p];
      ++faces;
      if (n <= 0) {
        ++p;
        continue;
      }
      if (static_cast<size_t>(n) > elem.size() - 1 - p) return -1;
      for (size_t k = p + 1; k <= p + static_cast<size_t>(n); ++k) {
        if (elem[k] < 0 || elem[k] >= nbNodes) return -1;
      }
      p += static_cast<size_t>(n) + 1;
    }
    return faces;
  }
};

// Limits that keep every input small: "a mesh of under 200 faces" bounds what may take a
// second.
inline constexpr size_t kMaxNodes = 240;
inline constexpr size_t kMaxFaces = 199;

class MeshDecoder {
 public:
  FuzzedMesh Decode(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    const uint8_t setup = in.next();
    FuzzedMesh out;
    for (uint8_t& p : out.params)
      p = in.next();
    const uint8_t lie = (setup & 32) != 0 ? in.next() : 0;
    static constexpr double kUnits[4] = {1.0, 1e-9, 1e9, 0.5};
    unit_ = kUnits[setup & 3];
    offset_ = (setup & 4) != 0 ? 1e8 : 0.0;
    specials_ = (setup & 16) != 0;
    while (!in.empty() && nodes_.size() < kMaxNodes && faces_.size() < kMaxFaces)
      Record(in);
    if ((setup & 8) != 0) WeldCoincidentNodes();

    int64_t nbNodes = static_cast<int64_t>(nodes_.size() / 3);
    int64_t szelem = 0;
    for (const auto& face : faces_)
      szelem += static_cast<int64_t>(face.size());
    nbNodes = Claimed(nbNodes, lie & 15);
    szelem = Claimed(szelem, lie >> 4);
    out.nbNodes = static_cast<int32_t>(nbNodes);
    out.szelem = static_cast<int32_t>(szelem);
    out.coords.assign(nodes_.begin(), nodes_.begin() + static_cast<std::ptrdiff_t>(
                                                           3 * std::max<int64_t>(0, nbNodes)));
    for (const auto& face : faces_)
      out.elem.insert(out.elem.end(), face.begin(), face.end());
    out.elem.resize(static_cast<size_t>(std::max<int64_t>(0, szelem)));
    return out;
  }

 private:
  // A face is stored with its count entry first, as the library reads it.
  using Face = std::vector<int32_t>;

  // Grid positions 0, 0.5, ..., 7.5; with specials on, the top bytes leave the grid.
  double Coordinate(uint8_t b) const {
    if (specials_ && b >= 0xF8) {
      static constexpr double kSpecials[8] = {std::numeric_limits<double>::quiet_NaN(),
                                              std::numeric_limits<double>::infinity(),
                                              -std::numeric_limits<double>::infinity(),
                                              1e300,
                                              -1e300,
                                              std::numeric_limits<double>::denorm_min(),
                                              1e4,
                                              -0.0};
      const double special = kSpecials[b - 0xF8];
      return std::isfinite(special) && std::fabs(special) < 1e10 ? special * unit_ + offset_
                                                                 : special;
    }
    return (b % 16) * 0.5 * unit_ + offset_;
  }
  double Size(uint8_t b) const { return (b % 5) * 0.5 * unit_; }

  int32_t AddNode(double x, double y, double z) {
    nodes_.insert(nodes_.end(), {x, y, z});
    return static_cast<int32_t>(nodes_.size() / 3 - 1);
  }
  void AddFace(std::initializer_list<int32_t> nodes, bool flip) {
    Face face{static_cast<int32_t>(nodes.size())};
    face.insert(face.end(), nodes.begin(), nodes.end());
    if (flip) std::reverse(face.begin() + 2, face.end());
    faces_.push_back(std::move(face));
  }

  void Record(ByteReader& in) {
    const uint8_t op = in.next() % 10;
    bodyStart_ = op <= 3 ? nodes_.size() / 3 : bodyStart_;
    switch (op) {
      case 0:
        return Tetrahedron(in);
      case 1:
      case 2:
        return Box(in, op == 2);
      case 3:
        return Octahedron(in);
      case 4: {
        const double x = Coordinate(in.next()), y = Coordinate(in.next());
        AddNode(x, y, Coordinate(in.next()));
        return;
      }
      case 5:
        return RawFace(in);
      case 6:
        return MoveNode(in);
      case 7:
        return EditFace(in);
      case 8:
        return Nudge(in);
      default:
        return MergeNodes(in);
    }
  }

  void Tetrahedron(ByteReader& in) {
    const double x = Coordinate(in.next()), y = Coordinate(in.next()), z = Coordinate(in.next());
    const double s = Size(in.next());
    const bool flip = (in.next() & 1) != 0;
    const int32_t a = AddNode(x, y, z), b = AddNode(x + s, y, z), c = AddNode(x, y + s, z),
                  d = AddNode(x, y, z + s);
    AddFace({a, c, b}, flip);
    AddFace({a, b, d}, flip);
    AddFace({b, c, d}, flip);
    AddFace({c, a, d}, flip);
  }

  void Box(ByteReader& in, bool quads) {
    const double x = Coordinate(in.next()), y = Coordinate(in.next()), z = Coordinate(in.next());
    const uint8_t sizes = in.next();
    const double s[3] = {Size(sizes % 5 + 1), Size(sizes / 5 % 5 + 1), Size(sizes / 25 % 5 + 1)};
    const uint8_t how = in.next();
    const bool flip = (how & 1) != 0, otherDiagonal = (how & 2) != 0;
    int32_t v[8];
    for (int i = 0; i < 8; ++i)
      v[i] = AddNode(x + ((i & 1) ? s[0] : 0), y + ((i & 2) ? s[1] : 0), z + ((i & 4) ? s[2] : 0));
    // Outward sides, each as its four corners counter-clockwise seen from outside.
    static constexpr int kSides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                         {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : kSides) {
      const int32_t a = v[q[0]], b = v[q[1]], c = v[q[2]], d = v[q[3]];
      if (quads) {
        AddFace({a, b, c, d}, flip);
      } else if (otherDiagonal) {
        AddFace({a, b, d}, flip);
        AddFace({b, c, d}, flip);
      } else {
        AddFace({a, b, c}, flip);
        AddFace({a, c, d}, flip);
      }
    }
  }

  void Octahedron(ByteReader& in) {
    const double x = Coordinate(in.next()), y = Coordinate(in.next()), z = Coordinate(in.next());
    const double r = Size(in.next());
    const bool flip = (in.next() & 1) != 0;
    const int32_t px = AddNode(x + r, y, z), nx = AddNode(x - r, y, z), py = AddNode(x, y + r, z),
                  ny = AddNode(x, y - r, z), pz = AddNode(x, y, z + r), nz = AddNode(x, y, z - r);
    AddFace({px, py, pz}, flip);
    AddFace({py, nx, pz}, flip);
    AddFace({nx, ny, pz}, flip);
    AddFace({ny, px, pz}, flip);
    AddFace({py, px, nz}, flip);
    AddFace({nx, py, nz}, flip);
    AddFace({ny, nx, nz}, flip);
    AddFace({px, ny, nz}, flip);
  }

  // A node byte names an existing node, or from 0xF8 up a number that names none.
  int32_t NodeNumber(uint8_t b) const {
    const int32_t count = static_cast<int32_t>(nodes_.size() / 3);
    const int32_t invalid[8] = {-1,
                                std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max(),
                                count,
                                count + 1,
                                count + 2,
                                count + 3,
                                -2};
    if (b >= 0xF8) return invalid[b - 0xF8];
    return count > 0 ? b % count : b % 4;
  }

  void RawFace(ByteReader& in) {
    const int32_t n = in.next() % 10 - 2;
    Face face{n};
    for (int32_t k = 0; k < n; ++k)
      face.push_back(NodeNumber(in.next()));
    faces_.push_back(std::move(face));
  }

  void MoveNode(ByteReader& in) {
    if (nodes_.empty()) return;
    const size_t node = in.next() % (nodes_.size() / 3);
    for (int k = 0; k < 3; ++k)
      nodes_[3 * node + k] = Coordinate(in.next());
  }

  void EditFace(ByteReader& in) {
    const uint8_t which = in.next(), how = in.next();
    if (faces_.empty()) return;
    const size_t f = which % faces_.size();
    Face& face = faces_[f];
    switch (how % 5) {
      case 0:  // turn it over
        if (face.size() > 3) std::reverse(face.begin() + 2, face.end());
        break;
      case 1:  // a duplicate, same winding
        if (faces_.size() < kMaxFaces) faces_.push_back(Face(face));
        break;
      case 2:  // a hole
        faces_.erase(faces_.begin() + static_cast<std::ptrdiff_t>(f));
        break;
      case 3:  // a repeated node
        if (face.size() > 2) face[2] = face[1];
        break;
      default:  // a different count entry over the same nodes
        face[0] = static_cast<int32_t>(how / 5 % 10) - 2;
        break;
    }
  }

  // Moves the last body off the grid by a small step: near-coincident nodes and needles.
  void Nudge(ByteReader& in) {
    const uint8_t how = in.next();
    const double step = 0.5 * unit_ / 64 * (1 + (how >> 2));
    for (size_t i = bodyStart_; i < nodes_.size() / 3; ++i)
      nodes_[3 * i + how % 3] += step;
  }

  // Renumbers every use of one node as another: pinched and collapsed faces.
  void MergeNodes(ByteReader& in) {
    const uint8_t a = in.next(), b = in.next();
    if (nodes_.empty()) return;
    const int32_t count = static_cast<int32_t>(nodes_.size() / 3);
    const int32_t from = a % count, to = b % count;
    for (Face& face : faces_) {
      for (size_t k = 1; k < face.size(); ++k)
        if (face[k] == from) face[k] = to;
    }
  }

  void WeldCoincidentNodes() {
    std::map<std::tuple<double, double, double>, int32_t> first;
    std::vector<int32_t> to(nodes_.size() / 3);
    for (size_t i = 0; i < to.size(); ++i) {
      const auto key = std::make_tuple(nodes_[3 * i], nodes_[3 * i + 1], nodes_[3 * i + 2]);
      to[i] = first.emplace(key, static_cast<int32_t>(i)).first->second;
    }
    for (Face& face : faces_) {
      for (size_t k = 1; k < face.size(); ++k)
        if (face[k] >= 0 && static_cast<size_t>(face[k]) < to.size()) face[k] = to[face[k]];
    }
  }

  // A claimed size: the true one, one less, zero or negative. Never more than the arrays hold.
  static int64_t Claimed(int64_t actual, uint8_t how) {
    switch (how % 8) {
      case 1:
        return std::max<int64_t>(0, actual - 1);
      case 2:
        return 0;
      case 3:
        return -1;
      case 4:
        return std::numeric_limits<int32_t>::min();
      default:
        return actual;
    }
  }

  std::vector<double> nodes_;  // 3 per node
  std::vector<Face> faces_;
  size_t bodyStart_ = 0;
  double unit_ = 1.0;
  double offset_ = 0.0;
  bool specials_ = false;
};

inline FuzzedMesh DecodeMesh(const uint8_t* data, size_t size) {
  return MeshDecoder().Decode(data, size);
}

}  // namespace vexmor::fuzz
