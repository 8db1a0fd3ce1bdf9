// The bits of a reply's two status bytes, each once: where it sits, the short name the
// status strip's lamp shows and what it means. The status strip, the traffic monitor and the
// link's texts all read them from here.
#pragma once

#include <cstdint>

namespace va5 {

// Bit 7 of the first status byte: the byte reports communication errors (the bits below),
// not a response code.
inline constexpr std::uint8_t CommErrorFlag = 0x80;

struct StatusBit {
  std::uint8_t mask;
  const char* abbreviation;  // the lamp's text; "" for a bit that has no lamp
  const char* meaning;       // English, lower case
};

// The communication errors of a first status byte with CommErrorFlag set, highest bit first.
// Bits 2 and 0 are reserved.
namespace comm_error {
inline constexpr StatusBit Parity{0x40, "PE", "vertical parity error"};
inline constexpr StatusBit Overrun{0x20, "OVE", "overrun error"};
inline constexpr StatusBit Framing{0x10, "FE", "framing error"};
inline constexpr StatusBit Checksum{0x08, "SME", "longitudinal parity error"};
inline constexpr StatusBit BufferOverflow{0x02, "BOE", "buffer overflow"};
}  // namespace comm_error
inline constexpr StatusBit CommErrorBits[] = {comm_error::Parity, comm_error::Overrun,
                                              comm_error::Framing, comm_error::Checksum,
                                              comm_error::BufferOverflow};

// The field device status (the second status byte), highest bit first.
namespace device_status {
inline constexpr StatusBit Malfunction{0x80, "MAL", "field device malfunction"};
inline constexpr StatusBit ConfigChanged{0x40, "CFG", "configuration changed"};
inline constexpr StatusBit ColdStart{0x20, "CLD", "cold start"};
inline constexpr StatusBit MoreStatus{0x10, "", "more status available"};
inline constexpr StatusBit CurrentFixed{0x08, "AFX", "loop current fixed"};
inline constexpr StatusBit CurrentSaturated{0x04, "AOS", "loop current saturated"};
inline constexpr StatusBit NonPvOutOfLimits{0x02, "NPV", "non-primary variable out of limits"};
inline constexpr StatusBit PvOutOfLimits{0x01, "PV", "primary variable out of limits"};
}  // namespace device_status
inline constexpr StatusBit DeviceStatusBits[] = {
    device_status::Malfunction,      device_status::ConfigChanged, device_status::ColdStart,
    device_status::MoreStatus,       device_status::CurrentFixed,  device_status::CurrentSaturated,
    device_status::NonPvOutOfLimits, device_status::PvOutOfLimits};

}  // namespace va5
