// Single-threaded exclusive access to a value: a guard, not a lock. A handler
// takes the value for a short stretch and gives it back before it calls out to
// code that may call back in; a re-entrant caller finds the value busy instead
// of deadlocking or touching it twice.
#pragma once

#include <utility>

namespace vexo::tsf {

template <typename T>
class Exclusive {
 public:
  template <typename... Args>
  explicit Exclusive(Args&&... args) : value_(std::forward<Args>(args)...) {}
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;

  // Holds the value until it goes out of scope; empty when it was busy.
  class Access {
   public:
    Access(Access&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
    Access& operator=(Access&&) = delete;
    ~Access() {
      if (owner_ != nullptr) owner_->busy_ = false;
    }
    explicit operator bool() const { return owner_ != nullptr; }
    T& operator*() const { return owner_->value_; }
    T* operator->() const { return &owner_->value_; }

   private:
    friend class Exclusive;
    explicit Access(Exclusive* owner) : owner_(owner) {}
    Exclusive* owner_;
  };

  Access take() {
    if (busy_) return Access(nullptr);
    busy_ = true;
    return Access(this);
  }

 private:
  T value_;
  bool busy_ = false;
};

}  // namespace vexo::tsf
