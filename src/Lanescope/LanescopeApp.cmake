# LanescopeApp: the tracker program's library code (the memory file, the frame cycle's pieces, the shared
# display state, the two handlers and the tracks file), linked by the program, its tests and its benchmark.
add_library(LanescopeApp STATIC
  MemoryFile.cpp
  LanescopeState.cpp
  GreyPipeline.cpp
  DisplayHandlers.cpp
  FrameLoop.cpp
  TracksFile.cpp)
target_include_directories(LanescopeApp PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(LanescopeApp PUBLIC AssociativeMemory VideoFrontEnd)
project_defaults(LanescopeApp)
