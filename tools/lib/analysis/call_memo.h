// Values computed once per key and shared by every thread that asks for them: the first to ask
// computes, the others wait for it and get the same value, or the same exception. `analyze`
// starts its library calls ahead on several threads; the summary, built afterwards in its fixed
// order, asks again and takes the values already there.
#pragma once

#include <exception>
#include <future>
#include <mutex>
#include <utility>
#include <vector>

namespace vexmor::cli {

template <class Key, class Value>
class CallMemo {
 public:
  // The value for `key`, from `compute()` the first time. The reference lives as long as the
  // memo.
  template <class Compute>
  const Value& get(const Key& key, Compute&& compute) {
    std::promise<Value> promise;
    std::shared_future<Value> value;
    bool mine = false;
    {
      std::lock_guard lock(mutex_);
      for (const auto& [k, v] : entries_) {
        if (k == key) value = v;
      }
      if (!value.valid()) {
        value = promise.get_future().share();
        entries_.emplace_back(key, value);
        mine = true;
      }
    }
    if (mine) {
      try {
        promise.set_value(compute());
      } catch (...) {
        promise.set_exception(std::current_exception());
      }
    }
    return value.get();
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<Key, std::shared_future<Value>>> entries_;
};

}  // namespace vexmor::cli
