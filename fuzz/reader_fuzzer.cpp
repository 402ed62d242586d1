// One file reader of the program on fuzzed bytes: every input is read or refused with a
// ReadError, and what is read is a consistent mesh. The format comes from the build
// (VEXMOR_FUZZ_FORMAT), so each reader is its own target with its own corpus. Without it the
// bytes are read as a whole file is: decompressed when they are gzip, then read in the format
// their content shows (the gzip target).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "io/mesh_reader.h"
#include "io/read_error.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "reader: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmor::cli;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)FormatFromContent(bytes);
  try {
#ifdef VEXMOR_FUZZ_FORMAT
    const LoadedMesh loaded = ReadMesh(bytes, "fuzz", MeshFormat::VEXMOR_FUZZ_FORMAT);
#else
    const LoadedMesh loaded = ReadMeshBytes(bytes, "fuzz.gz");
#endif
    const Mesh& mesh = loaded.mesh;
    if (mesh.coords.size() % 3 != 0) Fail("coordinates are not in threes");
    size_t entries = 0;
    for (size_t f = 0; f < mesh.faceCount(); ++f) {
      if (mesh.faceStart[f] != entries) Fail("face start does not follow the previous face");
      const auto face = mesh.face(f);
      if (face.empty()) Fail("a face with no node");
      for (int32_t n : face) {
        if (n < 0 || static_cast<size_t>(n) >= mesh.nodeCount()) Fail("face names a missing node");
      }
      entries += face.size() + 1;
    }
    if (entries != mesh.elem.size()) Fail("connectivity holds entries outside the faces");
  } catch (const ReadError&) {
  }
  return 0;
}
