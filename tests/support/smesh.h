// The working mesh built straight from a test mesh, for the tests of the library's internals.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "mesh/smesh.h"
#include "support/meshes.h"

namespace vexmor::test {

inline SMesh MakeSMesh(const TestMesh& m, uint32_t mode = 0, uint8_t outside = 0) {
  return SMesh(outside, m.nbNodes(), m.szelem(), m.coords, m.elem, mode);
}

// One of the mesh's arrays as a plain vector, to compare with a TestMesh's.
template <class T, class Allocator>
std::vector<T> Plain(const std::vector<T, Allocator>& array) {
  return {array.begin(), array.end()};
}
template <class T>
std::vector<std::remove_const_t<T>> Plain(std::span<T> array) {
  return {array.begin(), array.end()};
}

// Adds the nodes that make the normalised frame the mesh's own coordinates: the origin and a
// node 10000 along x (the test keeps every other node inside [0, 10000]^3).
inline TestMesh InFrame(TestMesh m) {
  m.AddNode(0, 0, 0);
  m.AddNode(10000, 0, 0);
  return m;
}

}  // namespace vexmor::test
