#include "io/vertex_welder.h"

#include <bit>
#include <cstring>

namespace vexmor::cli {
namespace {

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ULL;
  h ^= h >> 33;
  return h;
}

uint64_t HashPoint(const double* p) {
  uint64_t h = 0x9e3779b97f4a7c15ULL;
  for (int k = 0; k < 3; ++k)
    h = Mix(h ^ std::bit_cast<uint64_t>(p[k]));
  return h;
}

}  // namespace

VertexWelder::VertexWelder(Mesh& mesh, size_t expectedPoints) : mesh_(mesh) {
  size_t capacity = 1024;
  while (capacity < expectedPoints)
    capacity *= 2;
  slots_.assign(capacity, Slot{});
}

size_t VertexWelder::slotOf(const double* p, uint32_t tag) const {
  const size_t mask = slots_.size() - 1;
  size_t s = HashPoint(p) & mask;
  while (slots_[s].node >= 0) {
    if (slots_[s].tag == tag) {
      const double* q = &mesh_.coords[3 * static_cast<size_t>(slots_[s].node)];
      if (q[0] == p[0] && q[1] == p[1] && q[2] == p[2]) return s;
    }
    s = (s + 1) & mask;
  }
  return s;
}

void VertexWelder::grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  for (const Slot& slot : old) {
    if (slot.node >= 0) {
      slots_[slotOf(&mesh_.coords[3 * static_cast<size_t>(slot.node)], slot.tag)] = slot;
    }
  }
}

int32_t VertexWelder::node(double x, double y, double z) {
  // Adding 0.0 turns -0 into +0, so that equal values share one bit pattern.
  const double p[3] = {x + 0.0, y + 0.0, z + 0.0};
  const auto tag = static_cast<uint32_t>(HashPoint(p) >> 40);
  const size_t s = slotOf(p, tag);
  if (slots_[s].node >= 0) return slots_[s].node;
  const int32_t n = mesh_.addNode(p[0], p[1], p[2]);
  slots_[s] = {n, tag};
  if (++used_ * 2 > slots_.size()) grow();
  return n;
}

Mesh MergeEqualNodes(const Mesh& mesh) {
  Mesh merged;
  VertexWelder welder(merged, mesh.nodeCount());
  std::vector<int32_t> renumber(mesh.nodeCount());
  for (size_t n = 0; n < mesh.nodeCount(); ++n) {
    renumber[n] = welder.node(mesh.coords[3 * n], mesh.coords[3 * n + 1], mesh.coords[3 * n + 2]);
  }
  std::vector<int32_t> nodes;
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    nodes.clear();
    for (int32_t n : mesh.face(f))
      nodes.push_back(renumber[static_cast<size_t>(n)]);
    merged.addFace(nodes);
  }
  return merged;
}

}  // namespace vexmor::cli
