# Byte codecs and the HART command set: va5vivi_commands
va5vivi_core_library(va5vivi_commands Codecs.cpp CommandSet.cpp)
target_link_libraries(va5vivi_commands PUBLIC va5vivi_link va5vivi_device)
