// A stack that lives in a fixed inline buffer while it is shallow and moves to the heap only
// when it grows past it: tree walks stay allocation-free on ordinary trees yet cannot overflow
// on degenerate ones (chains of identical boxes are as deep as they are long).
#pragma once

#include <cstddef>
#include <vector>

namespace vexmor {

template <class T, size_t kInline>
class SmallStack {
 public:
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  T& top() { return data()[size_ - 1]; }
  void pop() { --size_; }
  void push(const T& value) {
    if (heap_.empty() && size_ == kInline) heap_.assign(inline_, inline_ + kInline);
    if (heap_.empty()) {
      inline_[size_] = value;
    } else if (size_ < heap_.size()) {
      heap_[size_] = value;
    } else {
      heap_.push_back(value);
    }
    ++size_;
  }

 private:
  T* data() { return heap_.empty() ? inline_ : heap_.data(); }
  T inline_[kInline];
  std::vector<T> heap_;
  size_t size_ = 0;
};

}  // namespace vexmor
