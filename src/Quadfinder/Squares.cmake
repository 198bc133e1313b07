# SquareFinder: Quadfinder's analysis of one frame (grey preparation, square search, drawing) and its
# playback-position line and squares file, kept apart from the program so that tests and benchmarks link it directly.
add_library(SquareFinder STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Squares.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SquareSearchImage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FilmPosition.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SquaresFile.cpp)
target_include_directories(SquareFinder PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_include_directories(SquareFinder SYSTEM PUBLIC ${OpenCV_INCLUDE_DIRS})
target_link_libraries(SquareFinder PUBLIC ${OpenCV_LIBS} VideoFrontEnd)
project_defaults(SquareFinder)
