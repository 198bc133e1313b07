// The multi-scale window scan of a frame and the merging of recognised windows into detections.
#include "CvAssociativeMemory.h"

#include "ErrorReport.h"
#include "MemoryInternals.h"
#include "ScanWindows.h"
#include "SeqEntries.h"

#include <cstdint>

namespace {

/* Squared distance of two points, formed in 64 bits so that moved rectangles cannot overflow it. */
int64_t Distance2(int ax, int ay, int bx, int by)
{
    const int64_t dx = static_cast<int64_t>(ax) - bx;
    const int64_t dy = static_cast<int64_t>(ay) - by;
    return dx * dx + dy * dy;
}

/* Adds a recognised window to the first detection of its type whose mean centre lies within the merge
   radius, or starts a new detection with it. */
void MergeWindow(CvSeq* detections, int mergeRadius2, CvRect rect, double confidence, int data)
{
    const int cx = rect.x + (rect.width >> 1);
    const int cy = rect.y + (rect.height >> 1);
    CvAMDetection* d = FindElement<CvAMDetection>(detections, [&](const CvAMDetection* candidate) {
        const CvPoint mean = MeanOf(*candidate).centre;
        return candidate->data == data && Distance2(cx, cy, mean.x, mean.y) < mergeRadius2;
    });
    if (d) {
        d->sumX += cx;
        d->sumY += cy;
        d->sumWidth += rect.width;
        d->sumHeight += rect.height;
        d->sumConfidence += confidence;
        d->count++;
        return;
    }
    CvAMDetection fresh = {cx, cy, rect.width, rect.height, confidence, 1, data};
    cvSeqPush(detections, &fresh);
}

} // namespace

void CvAssociativeMemory::ScanImage(CvAMScanFunc scanFunc, void* scanContext)
{
    // The cell sizes and steps come from the memory's area and levels, which only a created memory has.
    if (!root) {
        CV_REPORT(CV_StsNullPtr, CV_AM_SCAN_FUNC, CV_AM_NOT_CREATED_MSG);
        return;
    }
    // Without a readable frame every window would be refused with the same report; say it once instead.
    if (!source || !integral) {
        CV_REPORT(CV_StsNullPtr, CV_AM_SCAN_FUNC, CV_AM_NO_SOURCE_MSG);
        return;
    }
    if (!scanFunc.function)
        return;
    ForEachScanWindow(*this, [&](CvRect window) { scanFunc.function(window, scanContext); });
}

void RecognizeWindow(CvRect window, void* scanContext)
{
    CvAMScanContext* scan = static_cast<CvAMScanContext*>(scanContext);
    if (!scan || !scan->memory)
        return;
    CvAssociativeMemory& memory = *scan->memory;
    CvAMContext& context = memory.context;
    const int bases = context.baseCount;

    // Read makes the checks and reports a refusal itself; a refused window produced nothing to report.
    CvRect found = window;
    int* data = NULL;
    double confidence = 0.0;
    if (!MemoryAccepted(memory,
                        [&] { memory.Read(window, &found, &data, NULL, NULL, &confidence, false); }) ||
        !data)
        return;

    const RcgAMFunc eventFunc = scan->eventFunc ? *scan->eventFunc : NULL;
    CvAMObjectInfo info = {found, confidence, bases, NULL};
    if (!context.matched) {
        if (eventFunc)
            eventFunc(CV_AM_NOT_RECOGNIZED, data, &info, scan->userPointer);
        return;
    }
    // The value is taken before the event: the event function may train or prune the memory.
    const int type = *data;
    if (eventFunc)
        eventFunc(CV_AM_RECOGNIZED, data, &info, scan->userPointer);
    MergeWindow(memory.detections, context.mergeRadius2, info.rect, confidence, type);
}
