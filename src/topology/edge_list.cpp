#include "topology/edge_list.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "mesh/face_walk.h"
#include "mesh/large_array.h"
#include "mesh/prefetch.h"
#include "mesh/smesh.h"
#include "mesh/trace.h"

namespace vexmor {

void BuildEdgeHash(SMesh& mesh, bool listSidesAcross) {
  Trace("#BuildEdgeHash");
  EdgeHash& edges = mesh.edgeHash;
  edges.Reset(32768);
  // Every pair that the walk below looks up is a side of a face: indexed by their smaller node,
  // the edges of a face's nodes lie together, where the buckets would scatter them.
  edges.IndexFaceSides(std::span<const int32_t>(mesh.elem).first(
      static_cast<size_t>(std::clamp<int64_t>(mesh.szelem, 0, mesh.elem.size()))));
  Trace("##BuildEdgeHash 0 : %d", mesh.szelem);
  if (mesh.szelem < 1) {
    Trace("##BuildEdgeHash 10 : %d", edges.RecordCount());
    Trace("#End -- BuildEdgeHash");
    return;
  }
  const int32_t* elem = mesh.elem.data();
  const int64_t size = mesh.szelem;
  edges.KeepSideEdges(static_cast<size_t>(size));
  // The sides' entries in the node index are scattered: they are asked for a few faces ahead,
  // the index entry first and the pairs it lists once it has arrived.
  constexpr int kReadAhead = 8;
  auto forEachSideOf = [&](int64_t q, auto&& onSide) {
    if (q < 0) return;
    const int32_t m = elem[q];
    if (m <= 0) return;
    const int64_t count = std::min<int64_t>(m, size - q - 1);
    for (int64_t i = 0; i < count; ++i)
      onSide(elem[q + 1 + i], elem[q + 1 + (i + 1) % count]);
  };
  FacesAhead far(mesh.elem, size, kReadAhead), near(mesh.elem, size, kReadAhead / 2);
  // The faces across each side, kept only while every face is a triangle of three distinct
  // nodes (at position 4 f) and no edge has met a third face; complete once the second faces
  // filled every entry, two at a time.
  LargeVector<int32_t> across;
  bool listingAcross = listSidesAcross && mesh.nbFaces > 0 && size == 4 * int64_t{mesh.nbFaces};
  if (listingAcross) across.assign(3 * static_cast<size_t>(mesh.nbFaces), 0);
  int64_t acrossFilled = 0;
  int32_t face = 0;
  for (int64_t p = 0; p < size; ++face) {
    forEachSideOf(far.Take(), [&](int32_t a, int32_t b) { edges.PrefetchIndexOf(a, b); });
    forEachSideOf(near.Take(), [&](int32_t a, int32_t b) { edges.PrefetchPairsOf(a, b); });
    const int32_t facePos = static_cast<int32_t>(p);
    const int32_t n = elem[p++];
    if (listingAcross && (n != 3 || facePos != 4 * int64_t{face} || elem[p] == elem[p + 1] ||
                          elem[p + 1] == elem[p + 2] || elem[p + 2] == elem[p])) {
      listingAcross = false;
    }
    if (n <= 0) continue;
    // Nodes are read straight from the connectivity, so faces of any size are safe; a face that
    // runs past the end (which the entry points refuse) is cut at the end of the array.
    const int64_t count = n < size - p ? n : size - p;
    const int32_t* nodes = elem + p;
    p += n;
    for (int64_t i = 0; i < count; ++i) {
      const int32_t a = nodes[i];
      const int32_t b = nodes[(i + 1) % count];
      int32_t number = edges.Find(a, b);
      if (number != 0) {
        Edge& e = edges.Record(number - 1);
        if (e.facePos[1] == -1) {
          e.facePos[1] = facePos;
          e.faceIndex[1] = face;
          e.faceCount = 2;
          if (listingAcross && e.facePos[0] != facePos && e.firstSide >= 0 && e.firstSide < 3) {
            // The first face runs the edge as (node1, node2), its side k; this face runs it
            // the same way when a is node1.
            const int32_t k = e.firstSide;
            const int32_t same = a == e.node1 ? 1 : 0;
            across[3 * static_cast<size_t>(face) + static_cast<size_t>(i)] =
                2 * e.faceIndex[0] + same;
            across[3 * static_cast<size_t>(e.faceIndex[0]) + static_cast<size_t>(k)] =
                2 * face + same;
            acrossFilled += 2;
          } else {
            listingAcross = false;
          }
        } else {
          listingAcross = false;
          if (e.faceCount < 127) ++e.faceCount;
        }
      } else {
        Edge record;
        record.node1 = a;
        record.node2 = b;
        record.facePos = {facePos, -1};
        record.faceIndex = {face, -1};
        record.faceCount = 1;
        record.firstSide = static_cast<int8_t>(i < 128 ? i : -1);
        number = edges.Insert(record);
      }
      edges.SetSideEdge(static_cast<size_t>(p - n + i), number);
    }
  }
  if (listingAcross && acrossFilled == static_cast<int64_t>(across.size())) {
    edges.KeepSidesAcross(std::move(across));
  }
  Trace("##BuildEdgeHash 10 : %d", edges.RecordCount());
  Trace("#End -- BuildEdgeHash");
}

namespace {

// The renumbering of RebuildEdgeHash; false, leaving the table untouched, when the recorded
// sides do not describe the faces as they are.
bool RenumberAfterTurns(SMesh& mesh) {
  EdgeHash& edges = mesh.edgeHash;
  const int32_t count = edges.RecordCount();
  if (!edges.Indexed() || count == 0 || mesh.szelem < 1 ||
      static_cast<size_t>(mesh.szelem) > mesh.elem.size()) {
    return false;
  }
  const int32_t* elem = mesh.elem.data();
  const int64_t size = mesh.szelem;
  LargeVector<int32_t> newNumber(static_cast<size_t>(count), 0);
  LargeVector<int8_t> seen(static_cast<size_t>(count), 0);  // sides met, up to the record's count
  LargeVector<Edge> records(static_cast<size_t>(count));
  // A face's sides are renumbered once the face is done: until then its recorded sides, which
  // FaceSideEdge reads, keep the old numbers that the records still carry. Faces done are not
  // read again, and a walk that fails leaves the table to be built anew.
  std::vector<int32_t> faceSides;
  int32_t next = 0;
  int32_t face = 0;
  // The records of a face's sides lie anywhere: they are asked for a few faces ahead.
  constexpr int kReadAhead = 8;
  FacesAhead ahead(mesh.elem, size, kReadAhead);
  for (int64_t p = 0; p < size; ++face) {
    PrefetchSideRecords(mesh, static_cast<int32_t>(ahead.Take()));
    const int32_t facePos = static_cast<int32_t>(p);
    const int32_t n = elem[p++];
    if (n <= 0) continue;
    const int64_t sides = n < size - p ? n : size - p;
    faceSides.clear();
    for (int64_t i = 0; i < sides; ++i) {
      const int32_t a = elem[p + i];
      const int32_t b = elem[p + (i + 1) % sides];
      const int32_t old = FaceSideEdge(mesh, facePos, static_cast<int32_t>(i), a, b);
      if (old <= 0 || old > count) return false;
      const Edge& e = edges.Record(old - 1);
      int8_t& met = seen[static_cast<size_t>(old - 1)];
      // The faces that meet the edge must be those recorded, in the same order.
      if (met == 0) {
        if (e.facePos[0] != facePos || e.faceIndex[0] != face) return false;
        newNumber[static_cast<size_t>(old - 1)] = ++next;
        Edge& moved = records[static_cast<size_t>(next - 1)];
        moved = e;
        moved.node1 = a;
        moved.node2 = b;
        moved.firstSide = static_cast<int8_t>(i < 128 ? i : -1);
      } else if (met == 1 && (e.facePos[1] != facePos || e.faceIndex[1] != face)) {
        return false;
      }
      if (met < 127) ++met;
      faceSides.push_back(newNumber[static_cast<size_t>(old - 1)]);
    }
    for (size_t i = 0; i < faceSides.size(); ++i)
      edges.SetSideEdge(static_cast<size_t>(p) + i, faceSides[i]);
    p += n;
  }
  if (next != count) return false;
  for (int32_t k = 0; k < count; ++k) {
    if (seen[static_cast<size_t>(k)] != edges.Record(k).faceCount) return false;
  }
  edges.Renumber(newNumber, std::move(records));
  return true;
}

}  // namespace

void RebuildEdgeHash(SMesh& mesh) {
  Trace("#BuildEdgeHash");
  if (mesh.edgeHash.RecordCount() > 0 && mesh.edgeHash.FacesTurned() == 0) return;
  if (!RenumberAfterTurns(mesh)) BuildEdgeHash(mesh);
}

int32_t FaceSideEdge(const SMesh& mesh, int32_t facePos, int32_t side, int32_t a, int32_t b) {
  const EdgeHash& edges = mesh.edgeHash;
  const int32_t n =
      facePos >= 0 && facePos < mesh.szelem && static_cast<size_t>(facePos) < mesh.elem.size()
          ? mesh.elem[static_cast<size_t>(facePos)]
          : 0;
  // The side's own entry first: faces turned since keep their sides' edges, in another order.
  for (int32_t k = 0; k < n; ++k) {
    const int32_t number =
        edges.SideEdge(static_cast<size_t>(facePos) + 1 + static_cast<size_t>((side + k) % n));
    if (number <= 0 || number > edges.RecordCount()) continue;
    const Edge& e = edges.Record(number - 1);
    if ((e.node1 == a && e.node2 == b) || (e.node1 == b && e.node2 == a)) return number;
  }
  return edges.Find(a, b);
}

namespace {

// The count of nodes of the face at facePos when it lies wholly in the connectivity, else 0.
int32_t SidesOf(const SMesh& mesh, int32_t facePos) {
  if (facePos < 0 || facePos >= mesh.szelem || static_cast<size_t>(facePos) >= mesh.elem.size()) {
    return 0;
  }
  const int32_t n = mesh.elem[static_cast<size_t>(facePos)];
  return n > 0 && n <= mesh.szelem - 1 - facePos ? n : 0;
}

// Calls onRecord(edge) for each side of the face at facePos whose recorded edge is known.
template <class OnRecord>
void ForEachSideRecord(const SMesh& mesh, int32_t facePos, OnRecord&& onRecord) {
  const EdgeHash& edges = mesh.edgeHash;
  const int32_t n = SidesOf(mesh, facePos);
  for (int32_t k = 0; k < n; ++k) {
    const int32_t number =
        edges.SideEdge(static_cast<size_t>(facePos) + 1 + static_cast<size_t>(k));
    if (number > 0 && number <= edges.RecordCount()) onRecord(edges.Record(number - 1));
  }
}

}  // namespace

void PrefetchSideEdges(const SMesh& mesh, int32_t facePos) {
  if (SidesOf(mesh, facePos) > 0) mesh.edgeHash.PrefetchSideEdge(static_cast<size_t>(facePos) + 1);
}

void PrefetchSideRecords(const SMesh& mesh, int32_t facePos) {
  ForEachSideRecord(mesh, facePos, [](const Edge& e) { PrefetchForRead(&e); });
}

void PrefetchFacesAcross(const SMesh& mesh, int32_t facePos) {
  ForEachSideRecord(mesh, facePos, [&](const Edge& e) {
    const int32_t across = e.facePos[0] == facePos ? e.facePos[1] : e.facePos[0];
    if (across >= 0 && static_cast<size_t>(across) < mesh.elem.size()) {
      PrefetchForRead(mesh.elem.data() + across);
    }
  });
}

std::array<int32_t, 3> CountBoundaryEdges(SMesh& mesh) {
  std::array<int32_t, 3> summary = {0, 0, 0};
  if (mesh.edgeHash.RecordCount() == 0) BuildEdgeHash(mesh);
  for (int32_t i = 0; i < mesh.edgeHash.RecordCount(); ++i) {
    const int8_t faces = mesh.edgeHash.Record(i).faceCount;
    if (faces == 1) ++summary[1];
    if (faces > 2) ++summary[2];
  }
  summary[0] = (summary[1] != 0 || summary[2] != 0) ? 1 : 0;
  return summary;
}

}  // namespace vexmor
