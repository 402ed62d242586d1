// AMF (XML, plain or zipped) through expat: every object's vertices and the triangles of its
// volumes; objects placed by the first constellation's instances when there is one, else each
// once where it stands. The length unit is the file's (millimetres when it names none).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "io/affine.h"
#include "io/mesh_reader.h"
#include "io/placement_limits.h"
#include "io/read_error.h"
#include "io/text_cursor.h"
#include "io/zip_archive.h"

#if VEXMOR_READS_PACKAGES
#include <expat.h>
#endif

namespace vexmor::cli {

#if VEXMOR_READS_PACKAGES
namespace {

using namespace placement;

struct AmfObject {
  std::vector<double> coords;
  std::vector<int64_t> triangles;  // three vertex numbers each
  std::vector<size_t> triangleLines;
};

struct AmfInstance {
  std::string id;  // an object's or a constellation's
  double delta[3] = {0, 0, 0};
  double rotation[3] = {0, 0, 0};  // degrees about x, then y, then z
};

class AmfParser {
 public:
  explicit AmfParser(std::string_view path) : path_(path) {}

  void parse(std::string_view xml) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) FailInFile(path_, "cannot start expat");
    parser_ = parser;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &AmfParser::Start, &AmfParser::End);
    XML_SetCharacterDataHandler(parser, &AmfParser::Text);
    try {
      // Expat takes int lengths: feed large files in pieces.
      constexpr size_t kPiece = 1 << 24;
      size_t at = 0;
      do {
        const size_t n = std::min(kPiece, xml.size() - at);
        const bool last = at + n == xml.size();
        if (XML_Parse(parser, xml.data() + at, static_cast<int>(n), last) != XML_STATUS_OK) {
          if (error_) std::rethrow_exception(error_);
          FailAtLine(path_, XML_GetCurrentLineNumber(parser),
                     std::string("malformed XML: ") + XML_ErrorString(XML_GetErrorCode(parser)));
        }
        at += n;
      } while (at < xml.size());
    } catch (...) {
      XML_ParserFree(parser);
      throw;
    }
    XML_ParserFree(parser);
    if (!sawAmf_) FailInFile(path_, "not a mesh file (XML without an <amf> element)");
  }

  std::string unit = "mm";
  std::map<std::string, AmfObject> objects;
  std::vector<std::string> objectOrder;
  std::map<std::string, std::vector<AmfInstance>> constellations;
  std::vector<std::string> constellationOrder;

 private:
  // Errors leave expat's C code by stopping the parser, not by unwinding through it.
  template <typename F>
  static void Guarded(void* self, F&& f) {
    auto* p = static_cast<AmfParser*>(self);
    if (p->error_) return;
    try {
      f(*p);
    } catch (...) {
      p->error_ = std::current_exception();
      XML_StopParser(p->parser_, XML_FALSE);
    }
  }
  static void Start(void* self, const XML_Char* name, const XML_Char** attributes) {
    Guarded(self, [&](AmfParser& p) { p.start(name, attributes); });
  }
  static void End(void* self, const XML_Char* name) {
    Guarded(self, [&](AmfParser& p) { p.end(name); });
  }
  static void Text(void* self, const XML_Char* s, int length) {
    auto* p = static_cast<AmfParser*>(self);
    if (p->collecting_) p->text_.append(s, static_cast<size_t>(length));
  }

  size_t line() const { return XML_GetCurrentLineNumber(parser_); }

  static std::string Attribute(const XML_Char** attributes, const char* key) {
    for (int i = 0; attributes[i] != nullptr; i += 2) {
      if (std::string_view(attributes[i]) == key) return attributes[i + 1];
    }
    return "";
  }

  void start(std::string_view name, const XML_Char** attributes) {
    text_.clear();
    collecting_ = false;
    if (name == "amf") {
      sawAmf_ = true;
      unit = UnitOf(Attribute(attributes, "unit"));
    } else if (name == "object") {
      objectId_ = Attribute(attributes, "id");
      if (objects.count(objectId_) != 0) {
        FailAtLine(path_, line(), "a second object with id '" + objectId_ + "'");
      }
      objectOrder.push_back(objectId_);
      object_ = &objects[objectId_];
    } else if (name == "vertex" && object_ != nullptr) {
      inVertex_ = true;
      point_ = {NAN, NAN, NAN};
    } else if (name == "triangle" && object_ != nullptr) {
      inTriangle_ = true;
      corners_ = {-1, -1, -1};
    } else if (name == "constellation") {
      constellation_ = Attribute(attributes, "id");
      constellationOrder.push_back(constellation_);
      constellations[constellation_];
    } else if (name == "instance" && !constellation_.empty()) {
      inInstance_ = true;
      instance_ = AmfInstance{};
      instance_.id = Attribute(attributes, "objectid");
    } else if (name.size() <= 6) {
      collecting_ = true;  // x, y, z, v1..v3, deltax, rx, ...: values read at their end
    }
  }

  double number() const {
    double v = 0;
    std::string_view t = text_;
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front())))
      t.remove_prefix(1);
    while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back())))
      t.remove_suffix(1);
    if (!TextCursor::ParseNumber(t, v)) {
      FailAtLine(path_, line(), "expected a number, found " + Quoted(t));
    }
    return v;
  }

  void end(std::string_view name) {
    const bool value = collecting_;
    collecting_ = false;
    if (inVertex_ && value && (name == "x" || name == "y" || name == "z")) {
      point_[static_cast<size_t>(name[0] - 'x')] = number();
    } else if (name == "vertex" && inVertex_) {
      inVertex_ = false;
      for (double c : point_) {
        if (std::isnan(c)) FailAtLine(path_, line(), "a vertex needs x, y and z coordinates");
      }
      object_->coords.insert(object_->coords.end(), point_.begin(), point_.end());
    } else if (inTriangle_ && value && name.size() == 2 && name[0] == 'v' && name[1] >= '1' &&
               name[1] <= '3') {
      const double v = number();
      if (v < 0 || v != std::floor(v) || v > 2147483647.0) {
        FailAtLine(path_, line(), "a triangle's vertex number must be a whole number from 0");
      }
      corners_[static_cast<size_t>(name[1] - '1')] = static_cast<int64_t>(v);
    } else if (name == "triangle" && inTriangle_) {
      inTriangle_ = false;
      for (int64_t c : corners_) {
        if (c < 0) FailAtLine(path_, line(), "a triangle needs v1, v2 and v3");
      }
      object_->triangles.insert(object_->triangles.end(), corners_.begin(), corners_.end());
      object_->triangleLines.push_back(line());
    } else if (name == "object") {
      object_ = nullptr;
    } else if (inInstance_ && value) {
      static constexpr std::string_view kDelta[] = {"deltax", "deltay", "deltaz"};
      static constexpr std::string_view kRotation[] = {"rx", "ry", "rz"};
      for (int k = 0; k < 3; ++k) {
        if (name == kDelta[k]) instance_.delta[k] = number();
        if (name == kRotation[k]) instance_.rotation[k] = number();
      }
    } else if (name == "instance" && inInstance_) {
      inInstance_ = false;
      constellations[constellation_].push_back(instance_);
    } else if (name == "constellation") {
      constellation_.clear();
    }
  }

  std::string UnitOf(const std::string& name) const {
    if (name.empty() || name == "millimeter" || name == "millimetre") return "mm";
    if (name == "inch") return "in";
    if (name == "feet" || name == "foot") return "ft";
    if (name == "meter" || name == "metre") return "m";
    if (name == "micron" || name == "micrometer") return "um";
    if (name == "centimeter" || name == "centimetre") return "cm";
    FailAtLine(path_, line(), "unknown unit '" + name + "'");
  }

  std::string_view path_;
  XML_Parser parser_ = nullptr;
  std::exception_ptr error_;
  bool sawAmf_ = false;
  bool collecting_ = false;
  std::string text_;
  std::string objectId_;
  AmfObject* object_ = nullptr;
  bool inVertex_ = false, inTriangle_ = false, inInstance_ = false;
  std::array<double, 3> point_{};
  std::array<int64_t, 3> corners_{};
  std::string constellation_;
  AmfInstance instance_;
};

// Rotation about x, then y, then z, then the move.
Affine Placement(const AmfInstance& i) {
  const double d = 3.141592653589793 / 180;
  const double cx = std::cos(i.rotation[0] * d), sx = std::sin(i.rotation[0] * d);
  const double cy = std::cos(i.rotation[1] * d), sy = std::sin(i.rotation[1] * d);
  const double cz = std::cos(i.rotation[2] * d), sz = std::sin(i.rotation[2] * d);
  const Affine rx = {1, 0, 0, 0, 0, cx, -sx, 0, 0, sx, cx, 0};
  const Affine ry = {cy, 0, sy, 0, 0, 1, 0, 0, -sy, 0, cy, 0};
  const Affine rz = {cz, -sz, 0, 0, sz, cz, 0, 0, 0, 0, 1, 0};
  Affine a = Compose(rz, Compose(ry, rx));
  for (int k = 0; k < 3; ++k)
    a[4 * k + 3] = i.delta[k];
  return a;
}

class AmfAssembler {
 public:
  AmfAssembler(const AmfParser& amf, std::string_view path, Mesh& mesh)
      : amf_(amf), path_(path), mesh_(mesh) {}

  // What placing `id` adds, counted before anything is added: a few constellations that each
  // place the previous one twice would otherwise make a file of a few kilobytes take hours
  // and more memory than the machine has. Counts stop growing past the library's limit.
  struct Size {
    uint64_t nodes = 0, triangles = 0;
    uint64_t placements = 0;  // objects that are not empty, each time it places them
    int levels = 0;           // constellations below, on the longest path down to an object
  };
  Size size(const std::string& id, int depth) {
    const auto known = sizes_.find(id);
    if (depth > kMaxDepth || (known != sizes_.end() && depth + known->second.levels > kMaxDepth)) {
      FailInFile(path_, "constellations nested more than 32 deep (a cycle?)");
    }
    if (known != sizes_.end()) return known->second;
    Size total;
    if (const auto c = amf_.constellations.find(id); c != amf_.constellations.end()) {
      for (const auto& instance : c->second) {
        const Size part = size(instance.id, depth + 1);
        total.nodes = std::min(total.nodes + part.nodes, kBeyondTheLimit);
        total.triangles = std::min(total.triangles + part.triangles, kBeyondTheLimit);
        total.placements = std::min(total.placements + part.placements, kBeyondTheLimit);
        total.levels = std::max(total.levels, part.levels + 1);
      }
    } else if (const auto o = amf_.objects.find(id); o != amf_.objects.end()) {
      total.nodes = o->second.coords.size() / 3;
      total.triangles = o->second.triangles.size() / 3;
      total.placements = total.nodes + total.triangles > 0 ? 1 : 0;
    } else {
      FailInFile(path_, "an instance refers to object '" + id + "', which the file lacks");
    }
    sizes_[id] = total;
    return total;
  }

  // Places the scene `id` once what it adds is known to stay within the limits.
  void placeScene(const std::string& id) {
    const Size total = size(id, 0);
    if (total.placements > kMaxPlacements) {
      FailInFile(path_, "the constellations place " + Count(total.placements) +
                            " objects, more than the 1048576 that vexmor places from one file");
    }
    if (ExpandedBytes(total.nodes, total.triangles) > kMaxExpandedBytes) {
      FailInFile(path_, "the constellations place " + Count(total.nodes) + " nodes and " +
                            Count(total.triangles) +
                            " triangles, more than the 2 GiB of mesh that vexmor builds from "
                            "one file");
    }
    place(id, kIdentity);
  }

  void place(const std::string& id, const Affine& a) {
    const Size what = sizes_.at(id);
    if (what.nodes == 0 && what.triangles == 0) return;  // an empty object or constellation
    if (const auto c = amf_.constellations.find(id); c != amf_.constellations.end()) {
      for (const auto& instance : c->second)
        place(instance.id, Compose(a, Placement(instance)));
      return;
    }
    add(amf_.objects.at(id), a);
  }

  void add(const AmfObject& object, const Affine& a) {
    const size_t first = mesh_.nodeCount();
    const size_t count = object.coords.size() / 3;
    if (first + count > static_cast<size_t>(INT32_MAX)) {
      FailInFile(path_, "more nodes than the library can take (2147483647)");
    }
    for (size_t n = 0; n < count; ++n) {
      const double x = object.coords[3 * n], y = object.coords[3 * n + 1],
                   z = object.coords[3 * n + 2];
      AddPlacedNode(mesh_, a, x, y, z);
    }
    for (size_t t = 0; t < object.triangles.size() / 3; ++t) {
      int32_t nodes[3];
      for (int k = 0; k < 3; ++k) {
        const int64_t v = object.triangles[3 * t + k];
        if (v >= static_cast<int64_t>(count)) {
          FailAtLine(path_, object.triangleLines[t],
                     "triangle refers to vertex " + std::to_string(v) + ", but its object has " +
                         std::to_string(count) + " vertices");
        }
        nodes[k] = static_cast<int32_t>(first + static_cast<size_t>(v));
      }
      mesh_.addFace({nodes[0], nodes[1], nodes[2]});
    }
  }

 private:
  const AmfParser& amf_;
  std::string_view path_;
  Mesh& mesh_;
  std::map<std::string, Size> sizes_;
};

}  // namespace

LoadedMesh ReadAmf(std::string_view bytes, std::string_view path) {
  LoadedMesh loaded;
  loaded.format = "AMF";
  std::string unzipped;
  if (bytes.starts_with("PK\x03\x04")) {
    std::string entry;
    for (const auto& name : ZipEntryNames(bytes, path)) {
      if (entry.empty() || (name.size() > 4 && name.ends_with(".amf"))) entry = name;
    }
    if (entry.empty()) FailInFile(path, "an empty ZIP archive");
    unzipped = ZipEntryBytes(bytes, path, entry);
    bytes = unzipped;
    loaded.format = "AMF (zipped)";
  }
  AmfParser amf(path);
  amf.parse(bytes);
  loaded.unit = amf.unit;
  AmfAssembler assembler(amf, path, loaded.mesh);
  // The first constellation that no other places is the scene; without one, every object once.
  std::set<std::string> placed;
  for (const auto& [id, instances] : amf.constellations) {
    for (const auto& i : instances)
      placed.insert(i.id);
  }
  std::string scene;
  for (const auto& id : amf.constellationOrder) {
    if (placed.count(id) == 0) {
      scene = id;
      break;
    }
  }
  if (!scene.empty()) {
    assembler.placeScene(scene);
  } else {
    for (const auto& id : amf.objectOrder)
      assembler.add(amf.objects.at(id), kIdentity);
  }
  if (amf.objects.size() > 1) {
    loaded.notes.push_back(std::to_string(amf.objects.size()) + " objects read as one mesh");
  }
  return loaded;
}
#else
LoadedMesh ReadAmf(std::string_view, std::string_view path) {
  FailInFile(path, "an AMF file, which this build of vexmor cannot read (built without expat)");
}
#endif

}  // namespace vexmor::cli
