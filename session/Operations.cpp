#include "session/Operations.h"

#include <string>

namespace va5::session {

RequestChain SingleRequest(int type) {
  return RequestChain{"request " + std::to_string(type), {}, {ChainStep{type}}, {}};
}

RequestChain ConnectChain() {
  return RequestChain{
      "connect",
      {},
      {ChainStep{RequestIdentify}, ChainStep{RequestUpload}, ChainStep{RequestMonitorOn}},
      {}};
}

}  // namespace va5::session
