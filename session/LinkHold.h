#pragma once

#include <cstdint>

#include "comm/HartWorker.h"

namespace va5::session {

// One hold of the link for as long as the object lives: the worker sends nothing meanwhile
// (a question or an entry dialog is on screen). Holds nest, so a dialog's own hold inside a
// panel's keeps the panel's; every way out of the scope gives the hold back. A hold that a
// StopWorker has dropped already is not given back twice.
class LinkHold {
 public:
  LinkHold() = default;
  explicit LinkHold(HartWorker& worker);
  ~LinkHold();
  LinkHold(LinkHold&& other) noexcept;
  LinkHold& operator=(LinkHold&& other) noexcept;
  LinkHold(const LinkHold&) = delete;
  LinkHold& operator=(const LinkHold&) = delete;

  // Gives the hold back now; later calls and the destructor do nothing.
  void Release();
  bool Held() const { return worker_ != nullptr; }

 private:
  HartWorker* worker_ = nullptr;
  std::uint64_t token_ = 0;
};

}  // namespace va5::session
