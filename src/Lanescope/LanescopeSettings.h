#pragma once
// Lanescope's fixed settings: the file its memory lives in, where and how large the selection starts, the
// types a user can teach, and how the frame loop calls the tracker. The program, the teacher, the study of
// teaching, the benchmarks, the fingerprints and the tests take them from here, so that what they measure
// or check is what the program does.

/* File the memory is kept in between runs, in the working directory. */
constexpr const char* CV_LS_MEMORY_FILE = "am.dat";

/* Start corner and size of the selection rectangle; the size is also the area of a fresh memory. */
constexpr int CV_LS_SELECTION_X = 370;
constexpr int CV_LS_SELECTION_Y = 154;
constexpr int CV_LS_SELECTION_WIDTH = 100;
constexpr int CV_LS_SELECTION_HEIGHT = 100;

/* Number of object types the user can train, Type1 to Type256. */
constexpr int CV_LS_TYPE_COUNT = 256;

/* ObjectTracking's learning switch, learning ceiling and acceptance floor: the tracker only draws here,
   and with learning off its two limits take no effect. */
constexpr bool CV_LS_LEARNING = false;
constexpr double CV_LS_LEARNING_CEILING = 5.005;
constexpr double CV_LS_ACCEPTANCE_FLOOR = 4.995;
