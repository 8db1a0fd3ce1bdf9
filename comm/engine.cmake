# Transaction engine and port discovery: va5vivi_engine
set(_va5vivi_engine_sources
  AutoResetEvent.cpp
  HartWorker.cpp
  COMPortEnumerator.cpp
  Observable.cpp
  ThreadFunctor.cpp
  PortSources.cpp
)
if(WIN32)
  list(APPEND _va5vivi_engine_sources PortSources_win32.cpp)
else()
  list(APPEND _va5vivi_engine_sources PortSources_posix.cpp)
endif()
va5vivi_core_library(va5vivi_engine ${_va5vivi_engine_sources})
target_link_libraries(va5vivi_engine PUBLIC va5vivi_commands)
