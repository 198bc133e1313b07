#pragma once
// What a worker needs beyond the batch's own types: how a finished run of one video becomes its status.

#include "Batch.h"
#include "ResultFile.h"
#include "VideoFrontEnd.h"

/* The status of a run of frontEnd's video that has ended (stopped: by a stop signal before the video's
   end): done only when the data file and, with record, the recording are whole under their names. */
int FinishedVideoStatus(bool stopped, const CvResultFile& dataFile, const CvVideoFrontEnd& frontEnd,
                        bool record);
