#pragma once
// The pieces of Lanescope's frame cycle between the grab and the show: the grey image, the pick-mode
// drawing, the training frame or the tracking step; and the hot keys that steer the loop.

#include "CvAssociativeMemory.h"
#include "LanescopeState.h"

/* Key codes of the hot keys, matched on the low 8 bits of cvWaitKey's result. */
const int CV_LS_KEY_ESCAPE = 27;
const int CV_LS_KEY_TRACK = 't';
const int CV_LS_KEY_NEXT = 'n';
const int CV_LS_KEY_PREVIOUS = 'p';

/* The hot-key help printed at start-up. */
extern const char* const CV_LS_HOT_KEY_HELP;

/* Where the loop stands after a key. */
struct CvHotKeyResult
{
    bool quit;       /* leave the loop */
    bool pickMode;   /* the video stands still for picking */
    int currentType; /* the type a training frame writes, 1..256 */
};

/* What key (a cvWaitKey result, -1 for none) does: ESC ends picking or, outside it, the run; t, n and p
   start picking, n and p also step the type within 1..256; anything else changes nothing. */
CvHotKeyResult HandleHotKey(int key, bool pickMode, int currentType);

/* Draws the selection green with the label of type under it, as shown while picking. */
void DrawPickSelection(CvLanescopeState& state, int type, IplImage* display);

/* Writes the selection of the current frame into memory under type, reads it back, draws it red on
   display and counts the training frame off. */
void TrainSelection(CvAssociativeMemory& memory, CvLanescopeState& state, int type, IplImage* display);

/* One frame after the grab: copies frame into display, prepares grey, draws the selection while picking,
   hands grey to the memory, then trains on it or tracks in it, drawing onto display. It works on
   lanescopeState, the state the tracking-event handler draws with. */
void ProcessFrame(CvAssociativeMemory& memory, int currentType, const IplImage* frame, IplImage* display,
                  IplImage* grey);
