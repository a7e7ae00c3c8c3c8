// A call log that keeps the newest entries only: an access point runs for
// months, and apsim's logs of calls and events must not grow with it.
// Entries also have absolute numbers (counted from the first ever pushed), so
// "everything since entry N" stays right after old entries were dropped.
#pragma once

#include <cstddef>
#include <deque>
#include <utility>

namespace plat {

template <typename T, std::size_t Cap>
class History {
   public:
    static_assert(Cap > 0);

    void push_back(T v) {
        if (items_.size() == Cap) {
            items_.pop_front();
            ++dropped_;
        }
        items_.push_back(std::move(v));
    }
    void clear() {
        items_.clear();
        dropped_ = 0;
    }

    // The kept entries, oldest first.
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    T& operator[](std::size_t i) { return items_[i]; }
    const T& operator[](std::size_t i) const { return items_[i]; }
    T& back() { return items_.back(); }
    const T& back() const { return items_.back(); }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    // Entries ever pushed since the last clear; the absolute number of the
    // next entry.
    std::size_t total() const { return dropped_ + items_.size(); }
    // The entry of absolute number n, or nullptr when it was dropped or is not there yet.
    T* at_total(std::size_t n) {
        return n >= dropped_ && n - dropped_ < items_.size() ? &items_[n - dropped_] : nullptr;
    }
    const T* at_total(std::size_t n) const {
        return n >= dropped_ && n - dropped_ < items_.size() ? &items_[n - dropped_] : nullptr;
    }

   private:
    std::deque<T> items_;
    std::size_t dropped_ = 0;
};

}  // namespace plat
