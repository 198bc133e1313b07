# LanescopeApp: the tracker program's library code (the memory file, the frame cycle's pieces, the shared
# display state and the two handlers), linked by the program, its tests and its benchmark.
add_library(LanescopeApp STATIC
  MemoryFile.cpp
  LanescopeState.cpp
  GreyPipeline.cpp
  DisplayHandlers.cpp
  FrameLoop.cpp)
target_include_directories(LanescopeApp PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(LanescopeApp PUBLIC AssociativeMemory)
project_defaults(LanescopeApp)
