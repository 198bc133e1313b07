#pragma once
// Lanescope's program-wide display state: what the frame loop, the tracking-event handler and the mouse
// handler share. There is one instance, lanescopeState, and only the main thread touches it: the tracker
// raises every event on the thread that calls it (the searches it makes ahead in OpenCV's parallel loop
// raise none), and highgui calls the mouse handler only from inside cvWaitKey. So nothing here needs a lock.

#include "LanescopeSettings.h"

#include <opencv2/core/types_c.h>
#include <opencv2/imgproc/imgproc_c.h>

/* Size of one type label slot, terminating zero included. */
const int CV_LS_LABEL_SIZE = 32;
/* Size of the label text buffer: a label or the step time "%5.1f ms" of any double. */
const int CV_LS_TEXT_SIZE = 400;

/* Everything the loop and the two handlers share. */
struct CvLanescopeState
{
    CvRect selection;    /* the area a training frame learns; x, y follow the mouse */
    int trainingCounter; /* coming frames that train; 0 means tracking */
    bool pickMode;       /* the video stands still while the user picks */
    char typeLabels[CV_LS_TYPE_COUNT][CV_LS_LABEL_SIZE]; /* "Type1".."Type256"; type t is slot t - 1 */
    char labelText[CV_LS_TEXT_SIZE];                     /* the text handed to cvPutText */
    CvFont font;                                         /* the font of all text on the display image */
    double startTick;                                    /* cvGetTickCount at the start of a tracking step */
    double endTick;                                      /* cvGetTickCount at its end */
    double ticksPerMs;                                   /* cvGetTickFrequency() x 1000 */
};

/* The one instance shared by the frame loop and the handlers. */
extern CvLanescopeState lanescopeState;

/* Clears state, then makes the font and the 256 type labels; the selection gets its start rectangle. */
void InitLanescopeState(CvLanescopeState& state);

/* Writes the label of type into state.labelText: its slot for 1..256, else "Type" and the number. */
void SetTypeLabelText(CvLanescopeState& state, int type);
