// 3MF through lib3mf: every build item, with its transform, and the components of component
// objects with theirs, gathered into one mesh in the model's own length unit.
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "io/affine.h"
#include "io/mesh_reader.h"
#include "io/placement_limits.h"
#include "io/read_error.h"
#include "io/threemf_components.h"

#if VEXMOR_READS_PACKAGES
#include <Model/COM/NMR_DLLInterfaces.h>
#endif

namespace vexmor::cli {

#if VEXMOR_READS_PACKAGES
namespace {

using namespace placement;

using namespace NMR;

// Row-vector convention of 3MF: a point p becomes p * M, the last row being the translation;
// lib3mf hands the 4 x 3 matrix over transposed, as 3 rows of 4.

Affine FromModel(const MODELTRANSFORM& t) {
  Affine a;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c)
      a[4 * r + c] = t.m_fFields[r][c];
  }
  return a;
}

// Releases a lib3mf instance when it goes out of scope.
struct Held {
  PLib3MFBase* p = nullptr;
  ~Held() {
    if (p != nullptr) lib3mf_release(p);
  }
};

class Reader3mf {
 public:
  Reader3mf(std::string_view path, Mesh& mesh) : path_(path), mesh_(mesh) {}

  void check(LIB3MFRESULT result, PLib3MFBase* instance, const char* what) const {
    if (result == LIB3MF_OK) return;
    DWORD code = 0;
    LPCSTR message = nullptr;
    if (instance != nullptr) lib3mf_getlasterror(instance, &code, &message);
    FailInFile(path_, std::string(what) + ": " +
                          (message != nullptr && *message ? message : "lib3mf error") +
                          " (lib3mf code " + std::to_string(result) + ")");
  }

  // Counts what placing a build item's object adds before adding it, and refuses it when the
  // mesh would pass 2 GiB: a few component objects that each place the previous one
  // twice would otherwise make a file of a kilobyte take hours and more memory than there is.
  void reserve(PLib3MFModelObjectResource* object) {
    const Size item = size(object, 0);
    nodes_ = std::min(nodes_ + item.nodes, kBeyondTheLimit);
    triangles_ = std::min(triangles_ + item.triangles, kBeyondTheLimit);
    if (ExpandedBytes(nodes_, triangles_) > kMaxExpandedBytes) {
      FailInFile(path_, "the build items place " + Count(nodes_) + " nodes and " +
                            Count(triangles_) +
                            " triangles, more than the 2 GiB of mesh that vexmor builds from "
                            "one file");
    }
  }

  // Adds an object's triangles, placed by `place`; components are followed to `depth` levels.
  void addObject(PLib3MFModelObjectResource* object, const Affine& place, int depth) {
    if (depth > kMaxDepth) FailInFile(path_, "components nested more than 32 deep (a cycle?)");
    const Size what = size(object, depth);
    if (what.nodes == 0 && what.triangles == 0) return;  // nothing to add
    BOOL isMesh = false, isComponents = false;
    check(lib3mf_object_ismeshobject(object, &isMesh), object, "object type");
    check(lib3mf_object_iscomponentsobject(object, &isComponents), object, "object type");
    if (isMesh) {
      addMesh(object, place);
      return;
    }
    if (!isComponents) return;
    DWORD count = 0;
    check(lib3mf_componentsobject_getcomponentcount(object, &count), object, "components");
    for (DWORD i = 0; i < count; ++i) {
      Held component;
      check(lib3mf_componentsobject_getcomponent(object, i, &component.p), object, "component");
      Held child;
      check(lib3mf_component_getobjectresource(component.p, &child.p), component.p,
            "component object");
      BOOL has = false;
      check(lib3mf_component_hastransform(component.p, &has), component.p, "component");
      Affine local = kIdentity;
      if (has) {
        MODELTRANSFORM t;
        check(lib3mf_component_gettransform(component.p, &t), component.p, "component transform");
        local = FromModel(t);
      }
      addObject(child.p, Compose(place, local), depth + 1);
    }
  }

 private:
  struct Size {
    uint64_t nodes = 0, triangles = 0;
    int levels = 0;  // component objects below, on the longest path down to a mesh
  };

  // What placing `object` once adds, remembered per resource, counts stopping past the limit.
  Size size(PLib3MFModelObjectResource* object, int depth) {
    DWORD id = 0;
    check(lib3mf_resource_getresourceid(object, &id), object, "object id");
    const auto known = sizes_.find(id);
    if (depth > kMaxDepth || (known != sizes_.end() && depth + known->second.levels > kMaxDepth)) {
      FailInFile(path_, "components nested more than 32 deep (a cycle?)");
    }
    if (known != sizes_.end()) return known->second;
    Size total;
    BOOL isMesh = false, isComponents = false;
    check(lib3mf_object_ismeshobject(object, &isMesh), object, "object type");
    check(lib3mf_object_iscomponentsobject(object, &isComponents), object, "object type");
    if (isMesh) {
      DWORD vertexCount = 0, triangleCount = 0;
      check(lib3mf_meshobject_getvertexcount(object, &vertexCount), object, "vertices");
      check(lib3mf_meshobject_gettrianglecount(object, &triangleCount), object, "triangles");
      total.nodes = vertexCount;
      total.triangles = triangleCount;
    } else if (isComponents) {
      DWORD count = 0;
      check(lib3mf_componentsobject_getcomponentcount(object, &count), object, "components");
      for (DWORD i = 0; i < count; ++i) {
        Held component;
        check(lib3mf_componentsobject_getcomponent(object, i, &component.p), object, "component");
        Held child;
        check(lib3mf_component_getobjectresource(component.p, &child.p), component.p,
              "component object");
        const Size part = size(child.p, depth + 1);
        total.nodes = std::min(total.nodes + part.nodes, kBeyondTheLimit);
        total.triangles = std::min(total.triangles + part.triangles, kBeyondTheLimit);
        total.levels = std::max(total.levels, part.levels + 1);
      }
    }
    sizes_[id] = total;
    return total;
  }

  void addMesh(PLib3MFModelMeshObject* object, const Affine& a) {
    DWORD vertexCount = 0, triangleCount = 0;
    check(lib3mf_meshobject_getvertexcount(object, &vertexCount), object, "vertices");
    check(lib3mf_meshobject_gettrianglecount(object, &triangleCount), object, "triangles");
    std::vector<MODELMESHVERTEX> vertices(vertexCount);
    std::vector<MODELMESHTRIANGLE> triangles(triangleCount);
    if (vertexCount > 0) {
      check(lib3mf_meshobject_getvertices(object, vertices.data(), vertexCount, nullptr), object,
            "vertices");
    }
    if (triangleCount > 0) {
      check(lib3mf_meshobject_gettriangleindices(object, triangles.data(), triangleCount, nullptr),
            object, "triangles");
    }
    const size_t first = mesh_.nodeCount();
    if (first + vertexCount > static_cast<size_t>(INT32_MAX)) {
      FailInFile(path_, "more nodes than the library can take (2147483647)");
    }
    for (const auto& v : vertices) {
      const double x = v.m_fPosition[0], y = v.m_fPosition[1], z = v.m_fPosition[2];
      AddPlacedNode(mesh_, a, x, y, z);
    }
    for (const auto& t : triangles) {
      int32_t nodes[3];
      for (int k = 0; k < 3; ++k) {
        if (t.m_nIndices[k] >= vertexCount) {
          FailInFile(path_, "a triangle refers to vertex " + std::to_string(t.m_nIndices[k]) +
                                " of an object with " + std::to_string(vertexCount) + " vertices");
        }
        nodes[k] = static_cast<int32_t>(first + t.m_nIndices[k]);
      }
      mesh_.addFace({nodes[0], nodes[1], nodes[2]});
    }
  }

  std::string_view path_;
  Mesh& mesh_;
  std::map<DWORD, Size> sizes_;
  uint64_t nodes_ = 0, triangles_ = 0;  // what the build items read so far place
};

const char* UnitName(DWORD unit) {
  switch (unit) {
    case MODELUNIT_MICROMETER:
      return "um";
    case MODELUNIT_CENTIMETER:
      return "cm";
    case MODELUNIT_INCH:
      return "in";
    case MODELUNIT_FOOT:
      return "ft";
    case MODELUNIT_METER:
      return "m";
    default:
      return "mm";
  }
}

}  // namespace

LoadedMesh Read3mf(std::string_view bytes, std::string_view path) {
  CheckComponentExpansion(bytes, path);
  LoadedMesh loaded;
  loaded.format = "3MF";
  Reader3mf reader(path, loaded.mesh);
  Held model;
  reader.check(lib3mf_createmodel(&model.p), nullptr, "cannot start lib3mf");
  Held modelReader;
  reader.check(lib3mf_model_queryreader(model.p, "3mf", &modelReader.p), model.p,
               "cannot start lib3mf's reader");
  std::vector<BYTE> buffer(bytes.begin(), bytes.end());
  reader.check(lib3mf_reader_readfrombuffer(modelReader.p, buffer.data(), buffer.size()),
               modelReader.p, "not a readable 3MF file");
  DWORD unit = MODELUNIT_MILLIMETER;
  reader.check(lib3mf_model_getunit(model.p, &unit), model.p, "unit");
  loaded.unit = UnitName(unit);
  Held items;
  reader.check(lib3mf_model_getbuilditems(model.p, &items.p), model.p, "build items");
  size_t itemCount = 0;
  BOOL more = false;
  reader.check(lib3mf_builditemiterator_movenext(items.p, &more), items.p, "build items");
  while (more) {
    Held item, object;
    reader.check(lib3mf_builditemiterator_getcurrent(items.p, &item.p), items.p, "build item");
    reader.check(lib3mf_builditem_getobjectresource(item.p, &object.p), item.p,
                 "build item object");
    BOOL has = false;
    reader.check(lib3mf_builditem_hasobjecttransform(item.p, &has), item.p, "build item");
    Affine place = kIdentity;
    if (has) {
      MODELTRANSFORM t;
      reader.check(lib3mf_builditem_getobjecttransform(item.p, &t), item.p, "item transform");
      place = FromModel(t);
    }
    reader.reserve(object.p);
    reader.addObject(object.p, place, 0);
    ++itemCount;
    reader.check(lib3mf_builditemiterator_movenext(items.p, &more), items.p, "build items");
  }
  if (itemCount > 1) {
    loaded.notes.push_back(std::to_string(itemCount) +
                           " build items, each placed by its transform, read as one mesh");
  }
  return loaded;
}
// lib3mf 1.8 leaves each ZIP entry it opened (and, on a damaged file, its archive) allocated in
// libzip: not ours to free, so the sanitizer build is told not to report it. libzip is built
// without frame pointers, so the leak's stack ends in libzip and is matched by that name.
// g++ tells of AddressSanitizer by __SANITIZE_ADDRESS__, clang only through __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXMOR_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VEXMOR_ADDRESS_SANITIZER)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libzip.so\n";
}
#endif
#else
LoadedMesh Read3mf(std::string_view, std::string_view path) {
  FailInFile(path, "a 3MF file, which this build of vexmor cannot read (built without lib3mf)");
}
#endif

}  // namespace vexmor::cli
