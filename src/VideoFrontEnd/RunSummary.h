#pragma once
// The last line of a run without a window: what it wrote, so that a user who runs the programs in a batch
// knows where the results are without looking for them.

#include "ResultFile.h"
#include "VideoFrontEnd.h"

/* At the end of a run of frontEnd without a window, names on standard error in one line the files the run
   wrote: the recording with its frame count and dataFile, marking one that is incomplete; with memoryFile,
   also whether it was saved (memorySaved). Nothing for a run with a window. */
void PrintRunSummary(const CvVideoFrontEnd& frontEnd, const CvResultFile& dataFile,
                     const char* memoryFile = nullptr, bool memorySaved = false);
