// The walk behind the nearest-first searches of the trees: an explicit stack of subtrees, each
// queued with a key that bounds from below what anything in it can score (its distance from the
// query), and children queued so that the nearer one is searched first, where what it finds
// tightens the bound before the farther one is read.
#pragma once

#include <vector>

namespace vexmor {

// A subtree waiting to be searched: the tree's own reference to it and its key.
template <class Ref>
struct PendingSubtree {
  Ref ref;
  double key;
};

// Subtrees waiting to be searched, the last queued first; its storage is kept between walks.
template <class Ref>
using TraversalStack = std::vector<PendingSubtree<Ref>>;

// Queues two children so that the one of smaller key, the first on a tie, is searched next.
template <class Ref>
inline void QueueNearerLast(TraversalStack<Ref>& stack, const PendingSubtree<Ref>& first,
                            const PendingSubtree<Ref>& second) {
  if (first.key <= second.key) {
    stack.push_back(second);
    stack.push_back(first);
  } else {
    stack.push_back(first);
    stack.push_back(second);
  }
}

// Walks a tree depth first from root, without recursion. A subtree taken from the stack is
// skipped unless enter(key) holds; it is asked only then, so that what was visited since the
// subtree was queued can have tightened the bound. Otherwise visit(ref, stack) handles what the
// subtree holds itself and queues its children (QueueNearerLast).
template <class Ref, class Enter, class Visit>
void OrderedTraversal(TraversalStack<Ref>& stack, const PendingSubtree<Ref>& root, Enter&& enter,
                      Visit&& visit) {
  stack.clear();
  stack.push_back(root);
  while (!stack.empty()) {
    const PendingSubtree<Ref> next = stack.back();
    stack.pop_back();
    if (enter(next.key)) visit(next.ref, stack);
  }
}

}  // namespace vexmor
