#include "comm/ThreadFunctor.h"

namespace va5 {

// The thread notifies this functor when it ends, so it must be finished before we go.
CThreadFunctor::~CThreadFunctor() { thread_->Join(); }

}  // namespace va5
