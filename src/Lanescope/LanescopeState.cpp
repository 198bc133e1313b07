#include "LanescopeState.h"

#include <opencv2/core/core_c.h>

#include <cstdio>
#include <cstring>

CvLanescopeState lanescopeState;

void InitLanescopeState(CvLanescopeState& state)
{
    std::memset(&state, 0, sizeof state);
    state.selection =
        cvRect(CV_LS_SELECTION_X, CV_LS_SELECTION_Y, CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT);
    cvInitFont(&state.font, CV_FONT_HERSHEY_DUPLEX, 1.0, 1.0, 0.0, 2, 8);
    for (unsigned t = 1; t <= CV_LS_TYPE_COUNT; t++)
        std::snprintf(state.typeLabels[t - 1], CV_LS_LABEL_SIZE, "Type%u", t);
    // A step end without a start still divides by a real tick rate.
    state.ticksPerMs = cvGetTickFrequency() * 1000.0;
}

void SetTypeLabelText(CvLanescopeState& state, int type)
{
    // Types come from the memory, which a foreign "am.dat" may have filled with any number.
    if (type >= 1 && type <= CV_LS_TYPE_COUNT)
        std::snprintf(state.labelText, CV_LS_TEXT_SIZE, "%s", state.typeLabels[type - 1]);
    else
        std::snprintf(state.labelText, CV_LS_TEXT_SIZE, "Type%d", type);
}
