#pragma once
// Data files that a recording run writes beside its output video (Lanescope's tracks, Quadfinder's
// squares): created afresh, filled as the video plays and flushed frame by frame, so that a run that is cut
// short leaves every frame it finished in the file.

#include "VideoFrontEnd.h"

#include <cstdio>
#include <string>

/* One data file of a recording run. */
struct CvResultFile
{
    std::FILE* file = nullptr; /* the open file; null when not writing */
    std::string path;          /* its name, for the messages */
};

/* The name of a data file of the run: the base name of the output video followed by suffix, so that
   "clip_out.avi" gets "clip" + suffix and a camera's "_out.avi" gets suffix alone. */
std::string ResultFilePath(const CvVideoFrontEnd& frontEnd, const char* suffix);

/* Creates path as a new, empty file that replaces whatever name is there: a symbolic link is replaced, never
   written through, and a read-only file is left alone. False after one line on standard error naming the
   file. */
bool OpenResultFile(CvResultFile& result, const std::string& path);

/* Hands what was written so far to the system. A write that failed is reported on standard error once,
   and the file is closed, so that the run goes on without it. */
void FlushResultFile(CvResultFile& result);

/* Flushes and closes the file, reporting a failure as FlushResultFile does; nothing when not open. */
void CloseResultFile(CvResultFile& result);
