#include "FrameLoop.h"

#include "DisplayHandlers.h"
#include "GreyPipeline.h"
#include "LanescopeSettings.h"
#include "TracksFile.h"

#include <opencv2/core/core_c.h>
#include <opencv2/imgproc/imgproc_c.h>

const char* const CV_LS_HOT_KEY_HELP =
    "Hot keys: \n\tESC - quit the program\n\tt - stop the tracking and pick "
    "object for training\n\tn - next type\n\tp - previous type\n";

namespace {

void DrawSelection(IplImage* display, CvRect r, CvScalar colour)
{
    cvRectangle(display, cvPoint(r.x, r.y), cvPoint(r.x + r.width, r.y + r.height), colour, 2, 8, 0);
}

} // namespace

CvHotKeyResult HandleHotKey(int key, bool pickMode, int currentType)
{
    CvHotKeyResult result = {false, pickMode, currentType};
    switch (key & 255) {
    case CV_LS_KEY_ESCAPE:
        if (pickMode)
            result.pickMode = false;
        else
            result.quit = true;
        break;
    case CV_LS_KEY_TRACK:
        result.pickMode = true;
        break;
    case CV_LS_KEY_NEXT:
        result.pickMode = true;
        if (currentType < CV_LS_TYPE_COUNT)
            result.currentType++;
        break;
    case CV_LS_KEY_PREVIOUS:
        result.pickMode = true;
        if (currentType > 1)
            result.currentType--;
        break;
    default:
        break;
    }
    return result;
}

void DrawPickSelection(CvLanescopeState& state, int type, IplImage* display)
{
    const CvRect r = state.selection;
    DrawSelection(display, r, cvScalar(0, 255, 0, 0));
    SetTypeLabelText(state, type);
    cvPutText(display, state.labelText, cvPoint(r.x + 10, r.y + r.height + 24), &state.font,
              cvScalar(0, 255, 255, 0));
}

void TrainSelection(CvAssociativeMemory& memory, CvLanescopeState& state, int type, IplImage* display)
{
    // An area outside the frame is reported by Write and Read themselves; the frame still counts off.
    memory.Write(state.selection, &type);
    memory.Read(state.selection);
    DrawSelection(display, state.selection, cvScalar(0, 0, 255, 0));
    state.trainingCounter--;
}

void ProcessFrame(CvAssociativeMemory& memory, int currentType, const IplImage* frame, IplImage* display,
                  IplImage* grey)
{
    CvLanescopeState& state = lanescopeState;
    cvCopy(frame, display, NULL);
    PrepareGreyImage(frame, grey);
    if (state.pickMode)
        DrawPickSelection(state, currentType, display);
    memory.SetImage(grey);
    if (state.trainingCounter != 0)
        TrainSelection(memory, state, currentType, display);
    else
        memory.ObjectTracking(OnTrackingEventRecorded, display, CV_LS_LEARNING, CV_LS_LEARNING_CEILING,
                              CV_LS_ACCEPTANCE_FLOOR);
}
