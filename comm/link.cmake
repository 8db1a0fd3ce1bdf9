va5vivi_core_library(va5vivi_link
  Timing.cpp
  Trace.cpp
  PortDefinition.cpp
  FakeSerialPort.cpp
  HartLink.cpp
)
if(WIN32)
  target_sources(va5vivi_link PRIVATE Win32SerialPort.cpp)
else()
  target_sources(va5vivi_link PRIVATE PosixSerialPort.cpp)
endif()
