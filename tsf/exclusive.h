// Single-threaded exclusive access to a value: not a lock, but a mark that
// one handler is using the value. A handler takes access for a short stretch
// and gives it back before calling into TSF or SendInput, so that a handler
// re-entered from such a call finds the value free. Taking access that is
// already taken is a fault of the caller and is reported, never waited for.
#pragma once

#include <optional>
#include <utility>

namespace vexo::tsf {

template <typename T>
class Exclusive {
 public:
  template <typename... Args>
  explicit Exclusive(Args&&... args) : value_(std::forward<Args>(args)...) {}

  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;

  // Access for as long as the object lives.
  class Access {
   public:
    explicit Access(Exclusive& owner) : owner_(&owner) { owner.taken_ = true; }
    Access(Access&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
    Access& operator=(Access&&) = delete;
    ~Access() {
      if (owner_ != nullptr) owner_->taken_ = false;
    }
    T& operator*() const { return owner_->value_; }
    T* operator->() const { return &owner_->value_; }

   private:
    Exclusive* owner_;
  };

  // Access, or nothing when a caller further up the stack still holds it.
  std::optional<Access> try_access() {
    if (taken_) return std::nullopt;
    return std::optional<Access>(std::in_place, *this);
  }

  bool taken() const { return taken_; }

 private:
  T value_;
  bool taken_ = false;
};

}  // namespace vexo::tsf
