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

// Queues those of two children for which keep(child) holds (a child that exists, or one not
// yet beyond the bound) so that `first` is searched next: for trees that tell the nearer child
// by which side of the split the query lies on.
template <class Ref, class Keep>
inline void QueueInOrderIf(TraversalStack<Ref>& stack, const PendingSubtree<Ref>& first,
                           const PendingSubtree<Ref>& second, Keep&& keep) {
  if (keep(second)) stack.push_back(second);
  if (keep(first)) stack.push_back(first);
}

// As QueueNearerLast, but queues only the children for which keep(child) holds.
template <class Ref, class Keep>
inline void QueueNearerLastIf(TraversalStack<Ref>& stack, const PendingSubtree<Ref>& first,
                              const PendingSubtree<Ref>& second, Keep&& keep) {
  if (first.key <= second.key) {
    QueueInOrderIf(stack, first, second, keep);
  } else {
    QueueInOrderIf(stack, second, first, keep);
  }
}

// Walks a tree depth first from root, without recursion. A subtree taken from the stack is
// skipped unless enter(key) holds; it is asked only then, so that what was visited since the
// subtree was queued can have tightened the bound. Otherwise visit(ref, stack) handles what the
// subtree holds itself and queues its children (QueueNearerLast); clearing the stack ends the
// walk.
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
