#include "io/threemf_components.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "io/placement_limits.h"
#include "io/read_error.h"
#include "io/zip_archive.h"

#if VEXMOR_READS_PACKAGES
#include <expat.h>
#endif

namespace vexmor::cli {

#if VEXMOR_READS_PACKAGES
namespace {

using namespace placement;
constexpr uint64_t kMaxMeshBytes = kMaxExpandedBytes;
constexpr uint64_t kSaturated = uint64_t{1} << 40;  // counts stop growing here

struct ModelObject {
  uint64_t vertices = 0, triangles = 0;
  std::vector<std::string> components;  // object ids, one per component
};

// The objects, their components and the build items of one model part, from its XML.
struct ModelGraph {
  std::map<std::string, ModelObject> objects;
  std::vector<std::string> items;
  ModelObject* current = nullptr;

  static std::string_view LocalName(const XML_Char* name) {
    const std::string_view s(name);
    const size_t colon = s.rfind(':');
    return colon == std::string_view::npos ? s : s.substr(colon + 1);
  }
  static std::string Attribute(const XML_Char** attributes, std::string_view key) {
    for (int i = 0; attributes[i] != nullptr; i += 2) {
      if (LocalName(attributes[i]) == key) return attributes[i + 1];
    }
    return "";
  }
  static void Start(void* self, const XML_Char* name, const XML_Char** attributes) {
    auto& g = *static_cast<ModelGraph*>(self);
    const std::string_view element = LocalName(name);
    if (element == "object") {
      g.current = &g.objects[Attribute(attributes, "id")];
    } else if (element == "vertex" && g.current != nullptr) {
      ++g.current->vertices;
    } else if (element == "triangle" && g.current != nullptr) {
      ++g.current->triangles;
    } else if (element == "component" && g.current != nullptr) {
      g.current->components.push_back(Attribute(attributes, "objectid"));
    } else if (element == "item") {
      g.items.push_back(Attribute(attributes, "objectid"));
    }
  }
  static void End(void* self, const XML_Char* name) {
    if (LocalName(name) == "object") static_cast<ModelGraph*>(self)->current = nullptr;
  }

  // False when the XML is not well formed; what came before the fault is kept.
  bool parse(std::string_view xml) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (parser == nullptr) return false;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &Start, &End);
    bool ok = true;
    constexpr size_t kChunk = size_t{1} << 30;
    for (size_t at = 0; ok; at += kChunk) {
      const size_t n = std::min(kChunk, xml.size() - std::min(at, xml.size()));
      const bool last = at + n >= xml.size();
      ok = XML_Parse(parser, xml.data() + at, static_cast<int>(n), last) == XML_STATUS_OK;
      if (last) break;
    }
    XML_ParserFree(parser);
    return ok;
  }
};

struct PlacedTotals {
  uint64_t placements = 0, vertices = 0, triangles = 0;
  int levels = 0;  // component levels below, on the longest path
};

class PlacedTotalsCounter {
 public:
  PlacedTotalsCounter(const ModelGraph& graph, std::string_view path)
      : graph_(graph), path_(path) {}

  PlacedTotals of(const std::string& id, int depth) {
    const auto known = memo_.find(id);
    if (depth > kMaxDepth || (known != memo_.end() && depth + known->second.levels > kMaxDepth)) {
      FailInFile(path_, "components nested more than 32 deep (a cycle?)");
    }
    if (known != memo_.end()) return known->second;
    PlacedTotals e;
    const auto object = graph_.objects.find(id);
    if (object != graph_.objects.end()) {
      if (object->second.components.empty()) {
        e = {1, object->second.vertices, object->second.triangles, 0};
      }
      for (const std::string& child : object->second.components) {
        const PlacedTotals c = of(child, depth + 1);
        e.placements = std::min(e.placements + c.placements, kSaturated);
        e.vertices = std::min(e.vertices + c.vertices, kSaturated);
        e.triangles = std::min(e.triangles + c.triangles, kSaturated);
        e.levels = std::max(e.levels, c.levels + 1);
      }
    }
    memo_[id] = e;
    return e;
  }

 private:
  const ModelGraph& graph_;
  std::string_view path_;
  std::map<std::string, PlacedTotals> memo_;
};

}  // namespace

void CheckComponentExpansion(std::string_view package, std::string_view path) {
  std::vector<std::string> models;
  try {
    for (const std::string& name : ZipEntryNames(package, path)) {
      if (name.size() > 6 && name.ends_with(".model")) models.push_back(name);
    }
  } catch (const ReadError&) {
    return;
  }
  for (const std::string& name : models) {
    // An entry that the archive lists but that does not decompress whole (a wrong checksum)
    // is refused here: lib3mf would read it without checking.
    const std::string xml = ZipEntryBytes(package, path, name);
    // XML that is not well formed is still measured up to where expat stopped: lib3mf's own
    // parser may accept more of it.
    ModelGraph graph;
    graph.parse(xml);
    PlacedTotalsCounter counter(graph, path);
    PlacedTotals total;
    for (const std::string& item : graph.items) {
      const PlacedTotals e = counter.of(item, 0);
      total.placements = std::min(total.placements + e.placements, kSaturated);
      total.vertices = std::min(total.vertices + e.vertices, kSaturated);
      total.triangles = std::min(total.triangles + e.triangles, kSaturated);
    }
    if (total.placements > kMaxPlacements) {
      FailInFile(path, "the build items and their components place " +
                           std::to_string(total.placements) +
                           " objects, more than the 1048576 that vexmor places from one file");
    }
    if (24 * total.vertices + 24 * total.triangles > kMaxMeshBytes) {
      FailInFile(path, "the build items and their components place " +
                           std::to_string(total.vertices) + " vertices and " +
                           std::to_string(total.triangles) +
                           " triangles, more than the 2 GiB of mesh that vexmor builds from one "
                           "file");
    }
  }
}
#else
void CheckComponentExpansion(std::string_view, std::string_view) {}
#endif

}  // namespace vexmor::cli
