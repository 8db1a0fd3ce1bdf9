va5vivi_core_library(va5vivi_link
  Timing.cpp
)
