#pragma once
// Lanescope's tracks file "<base>_tracks.txt", written with "/r" beside the recording: one line per drawn
// track per analysed video frame in the MOTChallenge 2D results layout
// "frame,id,left,top,width,height,confidence,type,-1,-1", with the box in the coordinates of the video file
// as players show it (the program analyses its frames upside down).

#include "CvAssociativeMemory.h"
#include "ResultFile.h"
#include "TrackIds.h"

#include <cstdint>

/* What the tracks file of a run keeps between events. */
struct CvTracksFile
{
    CvResultFile out;         /* the file; not open without "/r" or when it could not be made */
    int frameHeight = 0;      /* rows of the analysed frames, to turn boxes back */
    uint64_t frameNumber = 0; /* number of the video frame being analysed, from 1 */
    bool newFrame = false;    /* the cycle analyses a newly grabbed frame, not a paused one again */
    CvTrackIds ids;           /* the tracks' ids, by trajectory record; never given twice */
};

/* The tracks file of the program, which the tracking-event function writes into. */
extern CvTracksFile lanescopeTracks;

/* With "/r", creates the tracks file of frontEnd's run; one line on standard error when it cannot be made,
   and the run goes on without it. */
void OpenTracksFile(CvTracksFile& tracks, const CvVideoFrontEnd& frontEnd);

/* Starts a cycle of the frame loop: newFrame when the cycle grabbed the next video frame, false when it
   works on a paused frame again, whose tracks are then not written a second time. */
void BeginTracksFrame(CvTracksFile& tracks, bool newFrame);

/* The tracking-event function: draws the event with OnTrackingEvent, then writes each tracked object as
   drawn into lanescopeTracks when it is open. */
void OnTrackingEventRecorded(int event, int* type, CvAMObjectInfo* info, void* userPointer);

/* Flushes and closes the file; nothing when it is not open. */
void CloseTracksFile(CvTracksFile& tracks);
