// A bounded record of what happened on the device, numbered from the start:
// the menus, boxes and dialogs shown, the player's commands. Only the most
// recent entries stay in memory; the count keeps going.
#pragma once
#include <cassert>
#include <cstddef>
#include <deque>
#include <utility>

namespace wince {

template <class T>
class History {
 public:
  explicit History(size_t keep) : keep_(keep) {}

  // Entries recorded since the start, forgotten ones included: entry i is
  // the i-th recorded (from 0), and size() numbers the next one.
  size_t size() const { return first_ + kept_.size(); }
  bool empty() const { return size() == 0; }
  // The number of the oldest entry still kept.
  size_t first() const { return first_; }
  size_t keep() const { return keep_; }
  bool kept(size_t i) const { return i >= first_ && i < size(); }

  // Entry i, which must still be kept.
  const T& operator[](size_t i) const {
    assert(kept(i));
    return kept_[i - first_];
  }
  T& operator[](size_t i) {
    assert(kept(i));
    return kept_[i - first_];
  }
  const T& back() const { return kept_.back(); }
  T& back() { return kept_.back(); }

  // The kept entries, oldest first.
  auto begin() const { return kept_.begin(); }
  auto end() const { return kept_.end(); }
  auto rbegin() const { return kept_.rbegin(); }
  auto rend() const { return kept_.rend(); }

  // Records an entry and forgets the oldest ones beyond keep(); an entry
  // that `stillInUse` says is in use (a dialog still on the screen) is not
  // forgotten, nor is anything after it.
  template <class InUse>
  void push(T entry, InUse stillInUse) {
    kept_.push_back(std::move(entry));
    while (kept_.size() > keep_ && !stillInUse(kept_.front())) {
      kept_.pop_front();
      ++first_;
    }
  }
  void push(T entry) {
    push(std::move(entry), [](const T&) { return false; });
  }

 private:
  size_t keep_;
  size_t first_ = 0;
  std::deque<T> kept_;
};

}  // namespace wince
