// Random and mutated bytes fed to every reader: each input must be read or refused with a
// ReadError, never crash, hang or touch memory outside its arrays (the tests run under the
// sanitizers). The generator is seeded, so every run feeds the same inputs.
#include <gtest/gtest.h>

#include <random>

#include "io/mesh_reader.h"
#include "io/mesh_writer.h"
#include "io/read_error.h"

namespace vexmor::cli::test {
namespace {

Mesh SmallMesh() {
  Mesh m;
  m.addNode(0, 0, 0);
  m.addNode(1, 0, 0);
  m.addNode(0, 1, 0);
  m.addNode(0, 0, 1);
  m.addFace({0, 2, 1});
  m.addFace({0, 1, 3});
  m.addFace({1, 2, 3, 0});
  m.addFace({2, 0, 3});
  return m;
}

void Feed(const std::string& bytes, MeshFormat format) {
  try {
    const auto loaded = ReadMesh(bytes, "fuzz", format);
    // Whatever was read must be a consistent mesh.
    for (size_t f = 0; f < loaded.mesh.faceCount(); ++f) {
      for (int32_t n : loaded.mesh.face(f)) {
        ASSERT_GE(n, 0);
        ASSERT_LT(static_cast<size_t>(n), loaded.mesh.nodeCount());
      }
    }
  } catch (const ReadError&) {
  }
}

std::string Mutated(std::string s, std::mt19937& random) {
  std::uniform_int_distribution<int> kind(0, 5), byte(0, 255);
  const int edits = 1 + static_cast<int>(random() % 4);
  for (int e = 0; e < edits && !s.empty(); ++e) {
    const size_t at = random() % s.size();
    switch (kind(random)) {
      case 0:
        s[at] = static_cast<char>(byte(random));
        break;
      case 1:
        s.resize(at);
        break;
      case 2:
        s.insert(at, 1, static_cast<char>(byte(random)));
        break;
      case 3:
        s.erase(at, 1 + random() % 8);
        break;
      case 4:
        s[at] = "0123456789-.e \n/#"[random() % 17];
        break;
      default:
        s.insert(at, s.substr(random() % s.size(), random() % 16));
        break;
    }
  }
  return s;
}

TEST(Fuzz, EveryReaderSurvivesRandomAndMutatedBytes) {
  const Mesh mesh = SmallMesh();
  MeshWriteOptions binary, text;
  text.text = true;
  const std::pair<MeshFormat, std::string> seeds[] = {
      {MeshFormat::kStl, MeshToStl(mesh, binary)}, {MeshFormat::kStl, MeshToStl(mesh, text)},
      {MeshFormat::kObj, MeshToObj(mesh, text)},   {MeshFormat::kOff, MeshToOff(mesh, text)},
      {MeshFormat::kPly, MeshToPly(mesh, binary)}, {MeshFormat::kPly, MeshToPly(mesh, text)},
  };
  std::mt19937 random(20240611);
  for (const auto& [format, seed] : seeds) {
    Feed(seed, format);
    for (int i = 0; i < 400; ++i)
      Feed(Mutated(seed, random), format);
    for (int i = 0; i < 50; ++i) {
      std::string noise(random() % 300, '\0');
      for (char& c : noise)
        c = static_cast<char>(random());
      Feed(noise, format);
      // Noise after a valid start reaches the deeper parts of each reader.
      Feed(seed.substr(0, random() % seed.size()) + noise, format);
    }
  }
}

}  // namespace
}  // namespace vexmor::cli::test
