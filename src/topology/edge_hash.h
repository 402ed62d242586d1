// Open-addressing hash table of edge records, keyed by the unordered node pair. Its record
// array, in insertion order, is also the mesh's edge list: edge number k (from 1) is record
// k - 1, and numbers never change while the table lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <utility>
#include <vector>

#include "mesh/large_array.h"
#include "topology/edge.h"

namespace vexmor {

class EdgeHash {
 public:
  // Exceptions raised on memory exhaustion, as plain integers.
  static constexpr int kFirstAllocationFailed = 1000;
  static constexpr int kEnlargementFailed = 1001;

  // A table with a record array of initialCapacity slots, no edges and no buckets.
  explicit EdgeHash(uint32_t initialCapacity = 100);
  EdgeHash(const EdgeHash&) = delete;
  EdgeHash& operator=(const EdgeHash&) = delete;

  // Makes Find and Insert look pairs up among the edges of their smaller node, held together in
  // one array sized from the sides of the faces of `elem` (a count-prefixed connectivity; a face
  // running past its end is cut there), instead of in the buckets. Meant for a table about to be
  // filled with those sides: a pair that is no side of those faces still works, through a
  // short list of its own. Reset, Clear and Release end the indexing. Does nothing on a table
  // holding records, or when the node numbers spread over far more values than there are sides.
  void IndexFaceSides(std::span<const int32_t> elem);

  // Number of the edge joining a and b in either order, or 0. A table without buckets and
  // without a node index finds nothing.
  int32_t Find(int32_t a, int32_t b) const;
  // Read-ahead for Find and Insert of the pair a, b in an indexed table, in two stages: the
  // entry of its smaller node in the index, then (once that has arrived) the pairs listed there.
  void PrefetchIndexOf(int32_t a, int32_t b) const;
  void PrefetchPairsOf(int32_t a, int32_t b) const;
  // Stores a copy of the record unless its node pair is present; returns the edge's number.
  int32_t Insert(const Edge& record);
  // Sizes the buckets for `size` expected edges, empties them and destroys every record.
  void Reset(uint32_t size);
  // Destroys every record and releases the record array (capacity 0).
  void Clear();
  // Releases everything the table owns.
  void Release();

  // A record of which edge each side of the faces is, by the connectivity entry of the side's
  // first node (`entries` entries, all 0 = unknown), so that walks over the faces find a side's
  // edge without a lookup; ended with the records.
  void KeepSideEdges(size_t entries) { sideEdges_.assign(entries, 0); }
  void SetSideEdge(size_t entry, int32_t number) {
    if (entry < sideEdges_.size()) sideEdges_[entry] = number;
  }
  // Asks for the side edge recorded at `entry` to be read soon (see PrefetchSideEdges).
  void PrefetchSideEdge(size_t entry) const;
  // The edge number recorded for the side at `entry`, or 0.
  int32_t SideEdge(size_t entry) const { return entry < sideEdges_.size() ? sideEdges_[entry] : 0; }

  // The faces across each side of a mesh of triangles, as SidesAcross lists them, when the build
  // listed them (BuildEdgeHash with listSidesAcross) or the check matched them without records
  // (MatchedSidesAcross); empty otherwise, and ended with the records or their renumbering. It
  // describes the faces as they were when it was made: once a face has been turned, only a
  // reader that knows which one may still use it.
  void KeepSidesAcross(LargeVector<int32_t> across) { sidesAcross_ = std::move(across); }
  std::span<const int32_t> SidesAcrossAsBuilt() const { return sidesAcross_; }

  // Faces turned since the records or the list of the faces across each side were made (each
  // turn noted by TurnFace): while none was, they describe the faces as they are.
  void NoteFaceTurned() { ++facesTurned_; }
  int64_t FacesTurned() const { return facesTurned_; }

  // Whether the records sit in the node index (IndexFaceSides), where Renumber can reorder them.
  bool Indexed() const { return indexed_; }
  // Gives edge k (from 1) the number newNumber[k - 1] and the record records[newNumber[k - 1] -
  // 1]: newNumber must be a permutation of 1 .. RecordCount() and each new record must join
  // the same two nodes as the edge it replaces. Only for an indexed table; side edges are left
  // to the caller.
  void Renumber(std::span<const int32_t> newNumber, LargeVector<Edge> records);

  int32_t RecordCount() const { return recordCount_; }
  uint32_t RecordCapacity() const { return recordCapacity_; }
  uint32_t BucketCount() const { return bucketCount_; }
  // Edge number k (from 1) is Record(k - 1).
  Edge& Record(int32_t i) {
    return indexed_ ? sideRecords_[static_cast<size_t>(i)] : *records_[static_cast<size_t>(i)];
  }
  const Edge& Record(int32_t i) const {
    return indexed_ ? sideRecords_[static_cast<size_t>(i)] : *records_[static_cast<size_t>(i)];
  }

 private:
  void Grow();
  void AppendRecord(Edge* record);
  int32_t FindIndexed(int32_t low, int32_t high) const;
  void EndIndexing();

  uint32_t recordCapacity_ = 0;
  int32_t recordCount_ = 0;
  LargeVector<Edge*> records_;  // insertion order; holds recordCapacity_ slots
  // A bucket holds a record's number and its node pair, smaller node first, so that a probe
  // compares keys without reading the record itself.
  struct Bucket {
    uint32_t number = 0;  // 0 = empty, k > 0 = record number k
    int32_t low = 0;
    int32_t high = 0;
  };
  uint32_t bucketCount_ = 0;  // 0, or a power of two >= 256
  LargeVector<Bucket> buckets_;
  // The node index: the pairs whose smaller node is firstNode_ + v are sideHigh_/sideNumber_
  // [sideStart_[v], sideStart_[v] + sideCount_[v]); pairs beyond it wait in stray_. The records
  // of an indexed table lie in sideRecords_, in number order, without the record array: there is
  // one side for every record, so it is reserved once and its records never move.
  bool indexed_ = false;
  int32_t firstNode_ = 0;
  LargeVector<uint32_t> sideStart_;
  LargeVector<uint32_t> sideCount_;
  LargeVector<int32_t> sideHigh_;
  LargeVector<uint32_t> sideNumber_;
  LargeVector<Bucket> stray_;
  LargeVector<Edge> sideRecords_;
  LargeVector<int32_t> sideEdges_;
  LargeVector<int32_t> sidesAcross_;
  int64_t facesTurned_ = 0;
  // Records live in a deque so that their addresses never change as more are added: pointers
  // held during a walk stay valid while further edges are inserted.
  std::deque<Edge> storage_;
};

}  // namespace vexmor
