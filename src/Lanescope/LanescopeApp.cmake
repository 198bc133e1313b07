# LanescopeApp: the tracker program's library code (the memory file), linked by the program and its tests.
add_library(LanescopeApp STATIC MemoryFile.cpp)
target_include_directories(LanescopeApp PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(LanescopeApp PUBLIC AssociativeMemory)
project_defaults(LanescopeApp)
