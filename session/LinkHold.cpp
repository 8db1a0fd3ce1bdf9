#include "session/LinkHold.h"

#include <utility>

namespace va5::session {

LinkHold::LinkHold(HartWorker& worker) : worker_(&worker), token_(worker.TakeHold()) {}

LinkHold::~LinkHold() { Release(); }

LinkHold::LinkHold(LinkHold&& other) noexcept
    : worker_(std::exchange(other.worker_, nullptr)), token_(other.token_) {}

LinkHold& LinkHold::operator=(LinkHold&& other) noexcept {
  if (this != &other) {
    Release();
    worker_ = std::exchange(other.worker_, nullptr);
    token_ = other.token_;
  }
  return *this;
}

void LinkHold::Release() {
  if (HartWorker* worker = std::exchange(worker_, nullptr)) worker->GiveBackHold(token_);
}

}  // namespace va5::session
