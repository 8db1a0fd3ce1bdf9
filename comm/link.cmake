va5vivi_core_library(va5vivi_link
  Timing.cpp
  Trace.cpp
  PortDefinition.cpp
  FakeSerialPort.cpp
  HartLink.cpp
)
