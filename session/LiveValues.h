#pragma once

#include <cstdint>

namespace va5::session {

// What the live display shows, taken in one piece while the poll may be writing the record
// (Session::Live): the values and status of the same replies.
struct LiveValues {
  double pv = 0;
  std::int16_t pvUnit = 0;
  double percent = 0;
  double terminalTemperature = 0;
  std::int16_t terminalUnit = 0;
  double loopCurrent = 0;
  std::uint8_t deviceStatus = 0;  // field device status of the last reply
  std::uint8_t responseCode = 0;  // response code of the last reply
  // Communication-error bits gathered since the previous snapshot; taking them clears them.
  std::uint8_t commErrorBits = 0;
};

}  // namespace va5::session
