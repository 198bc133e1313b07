#pragma once
// The command line both programs read: a video file or a capture device, the switch that records, and the
// help text printed when no source is given.

#include "VideoFrontEnd.h"

#include <cstddef>

/* Video played when no source is given. */
extern const char* const CV_FE_DEFAULT_VIDEO;
/* Help texts of the two programs. */
extern const char* const CV_FE_LANESCOPE_HELP;
extern const char* const CV_FE_QUADFINDER_HELP;

/* Parses argc/argv (argv[0] is the program name) into frontEnd, printing helpText when no source is given;
   lower-cases argv[1] in place, keeping it as typed in typedArg. False after printing the message of an
   early end. */
bool ParseCommandLine(CvVideoFrontEnd& frontEnd, int argc, char** argv, const char* helpText);

/* Length of the base name in the joined arguments: up to their first ".avi", or all of them. */
std::size_t BaseNameLength(const char* joined);
