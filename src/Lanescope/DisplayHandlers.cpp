#include "DisplayHandlers.h"

#include "LanescopeState.h"

#include <opencv2/core/core_c.h>
#include <opencv2/highgui/highgui_c.h>
#include <opencv2/imgproc/imgproc_c.h>

#include <cstdio>
#include <cstring>
#include <new>

static_assert(sizeof(CvLanescopeTrajectory) == 201 * sizeof(int32_t), "a trajectory is 201 ints");

namespace {

/* Adds the centre of rect to the track's trajectory and draws it; the first call only makes the record. */
void UpdateTrajectory(IplImage* image, CvRect rect, void** userSlot)
{
    if (!*userSlot) {
        // The tracker frees the record with operator delete; without memory this track simply draws no path.
        void* block = operator new(sizeof(CvLanescopeTrajectory), std::nothrow);
        if (block) {
            std::memset(block, 0, sizeof(CvLanescopeTrajectory));
            *userSlot = block;
        }
        return;
    }
    CvLanescopeTrajectory* t = static_cast<CvLanescopeTrajectory*>(*userSlot);
    const int last = CV_LS_TRAJECTORY_POINTS - 1;
    std::memmove(t->points, t->points + 2, sizeof(int32_t) * 2 * last);
    t->points[2 * last] = rect.x + (rect.width >> 1);
    t->points[2 * last + 1] = rect.y + (rect.height >> 1);
    if (t->count < CV_LS_TRAJECTORY_POINTS)
        t->count++;
    if (t->count < 3)
        return;
    for (int i = 1; i < t->count; i++) {
        const int from = last - i, to = last + 1 - i;
        cvLine(image, cvPoint(t->points[2 * from], t->points[2 * from + 1]),
               cvPoint(t->points[2 * to], t->points[2 * to + 1]), cvScalar(255, 255, 0, 0), 2, 8, 0);
    }
    cvCircle(image, cvPoint(t->points[2 * last], t->points[2 * last + 1]), 4, cvScalar(0, 255, 0, 0), 2, 8,
             0);
}

void DrawRect(IplImage* image, CvRect r, CvScalar colour, int thickness)
{
    cvRectangle(image, cvPoint(r.x, r.y), cvPoint(r.x + r.width, r.y + r.height), colour, thickness, 8, 0);
}

} // namespace

void OnTrackingEvent(int event, int* type, CvAMObjectInfo* info, void* userPointer)
{
    CvLanescopeState& s = lanescopeState;
    IplImage* image = static_cast<IplImage*>(userPointer);
    switch (event) {
    case CV_AM_FRAME_START:
        s.startTick = static_cast<double>(cvGetTickCount());
        s.ticksPerMs = cvGetTickFrequency() * 1000.0;
        break;
    case CV_AM_RECOGNIZED:
        DrawRect(image, info->rect, cvScalar(255, 128, 0, 0), 1);
        break;
    case CV_AM_TRACKED: {
        const CvRect r = info->rect;
        DrawRect(image, r, cvScalar(255, 0, 0, 0), 2);
        SetTypeLabelText(s, *type);
        cvPutText(image, s.labelText, cvPoint(r.x + 10, r.y + r.height + 24), &s.font,
                  cvScalar(0, 255, 255, 0));
        if (info->userSlot)
            UpdateTrajectory(image, r, info->userSlot);
        break;
    }
    case CV_AM_LEARNED:
        DrawRect(image, info->rect, cvScalar(255, 255, 0, 0), 2);
        break;
    case CV_AM_FRAME_END: {
        s.endTick = static_cast<double>(cvGetTickCount());
        const double elapsed = (s.endTick - s.startTick) / s.ticksPerMs;
        std::snprintf(s.labelText, CV_LS_TEXT_SIZE, "%5.1f ms", elapsed);
        cvPutText(image, s.labelText, cvPoint(0, 24), &s.font, cvScalar(0, 255, 0, 0));
        break;
    }
    default:
        break;
    }
}

void OnSelectionMouse(int event, int x, int y, int /*flags*/, void* /*param*/)
{
    CvLanescopeState& s = lanescopeState;
    if (!s.pickMode)
        return;
    s.selection.x = x;
    s.selection.y = y;
    if (event == CV_EVENT_LBUTTONDOWN) {
        s.trainingCounter = 1;
        s.pickMode = false;
    }
}
