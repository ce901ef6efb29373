#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <utility>

namespace plindor::repair {

// Owns one of the system's handles; closing it is the destructor's job unless Release() hands
// it over first. `Traits` names the empty value and how to close one.
template <typename Traits>
class Unique final {
 public:
  using Value = typename Traits::Value;

  Unique() = default;
  explicit Unique(Value value) : value_(value) {}
  Unique(Unique&& other) noexcept : value_(other.Release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) {
      Reset();
      value_ = other.Release();
    }
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { Reset(); }

  Value get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Empty(); }
  Value Release() { return std::exchange(value_, Traits::Empty()); }
  void Reset() {
    if (*this) Traits::Close(value_);
    value_ = Traits::Empty();
  }

 private:
  Value value_ = Traits::Empty();
};

#ifdef _WIN32
struct HandleTraits {
  using Value = HANDLE;
  static Value Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Value handle) { ::CloseHandle(handle); }
};
using UniqueHandle = Unique<HandleTraits>;
#else
struct FdTraits {
  using Value = int;
  static Value Empty() { return -1; }
  static void Close(Value fd) { ::close(fd); }
};
using UniqueFd = Unique<FdTraits>;
#endif

}  // namespace plindor::repair
