// The tracking step: detections start and update tracks through their particle filters, live tracks are
// reported, searched again where no detection found them, and dropped when lost for too long.
#include "CvAssociativeMemory.h"

#include "ErrorReport.h"
#include "MemoryInternals.h"
#include "SearchAhead.h"
#include "SeqEntries.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

/* Frames a track lives without an update before it is dropped. */
const uint64_t CV_AM_TRACK_LIFETIME = 50;
/* Samples of every track's particle filter. */
const int CV_AM_TRACK_SAMPLES = 64;
/* A re-detection is learned only below this confidence from a base used more often than CV_AM_LEARN_HITS. */
const double CV_AM_LEARN_CONFIDENCE = 0.5;
const uint64_t CV_AM_LEARN_HITS = 50;

/* Truncates toward zero; values beyond the int range saturate and NaN counts as the farthest value, so
   that degenerate sizes from an event function cannot make the conversion undefined. */
int TruncInt(double value)
{
    if (!(value < 2147483648.0))
        return std::numeric_limits<int>::max();
    if (!(value > -2147483649.0))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

/* Weighs every sample against the measurement (zx, zy) and moves the filter one step, twice. */
void UpdateFilter(CvConDensation* filter, float zx, float zy, float stepX2, float stepY2)
{
    for (int pass = 0; pass < 2; pass++) {
        for (int i = 0; i < filter->SamplesNum; i++) {
            const float dx = zx - filter->flSamples[i][0];
            const float dy = zy - filter->flSamples[i][1];
            // c = exp(-dx^2 / 4 SX^2) exp(-dy^2 / 4 SY^2)
            filter->flConfidence[i] =
                static_cast<float>(std::exp(static_cast<double>(-(dx * dx) / (4 * stepX2))) *
                                   std::exp(static_cast<double>(-(dy * dy) / (4 * stepY2))));
        }
        cvConDensUpdateByTime(filter);
    }
}

/* A filter for a new slot: two state and two measurement values, identity dynamics. */
CvConDensation* CreateTrackFilter()
{
    CvConDensation* filter = cvCreateConDensation(2, 2, CV_AM_TRACK_SAMPLES);
    if (filter) {
        CvMat dynamics = cvMat(2, 2, CV_32FC1, filter->DynamMatr);
        cvSetIdentity(&dynamics, cvRealScalar(1.0));
    }
    return filter;
}

/* One recall of the re-detection: what Read returned for an input rectangle. */
struct Recall
{
    CvRect input;      /* the rectangle read */
    CvRect found;      /* the refined rectangle */
    int data;          /* data value of the deepest base reached */
    uint64_t hits;     /* that base's use counter */
    double confidence; /* the read's score / 2147483647 */
};

/* Reads rect down to the deepest level whatever the match; false when Read refused the rectangle. */
bool ReadAll(CvAssociativeMemory& memory, CvRect rect, Recall* recall)
{
    int* data = NULL;
    recall->input = rect;
    recall->found = rect;
    recall->hits = 0;
    recall->confidence = 0.0;
    if (!MemoryAccepted(memory,
                        [&] {
                            memory.Read(rect, &recall->found, &data, NULL, &recall->hits, &recall->confidence,
                                        true);
                        }) ||
        !data)
        return false;
    recall->data = *data;
    return true;
}

/* Writes rect under *type; true when the memory took it. */
bool WriteArea(CvAssociativeMemory& memory, CvRect rect, const int* type)
{
    return MemoryAccepted(memory, [&] { memory.Write(rect, type); });
}

/* Moves a track to a new measurement: the filter takes the displacement (zx, zy), the track the new centre,
   size and score. */
void UpdateTrack(const CvAssociativeMemory& memory, CvAMTrack* t, float zx, float zy, CvPoint centre,
                 CvSize size, double score)
{
    UpdateFilter(t->filter, zx, zy, memory.stepX2, memory.stepY2);
    t->active = 1;
    t->centreX = centre.x;
    t->centreY = centre.y;
    t->estimateX = t->filter->State[0];
    t->estimateY = t->filter->State[1];
    t->confidence += score;
    t->width = size.width;
    t->height = size.height;
    t->lastFrame = memory.frameCounter;
    t->hits++;
}

/* Four probes around found, half a level-1 cell off diagonally (top left, top right, bottom right, bottom
   left), shrunk where they would leave the image. */
void DiagonalProbes(const CvAssociativeMemory& am, CvRect found, CvRect probes[4])
{
    const int W = am.context.width, H = am.context.height;
    const int IW = am.sourceWidth, IH = am.sourceHeight;
    const int hx = am.stepX >> 1, hy = am.stepY >> 1;
    const int X0 = found.x + (found.width >> 1) - (am.context.alignedWidth >> 1);
    const int Y0 = found.y + (found.height >> 1) - (am.context.alignedHeight >> 1);
    const int leftX = X0 < hx ? 0 : X0 - hx, leftW = X0 < hx ? W - hx : W;
    const int topY = Y0 < hy ? 0 : Y0 - hy, topH = Y0 < hy ? H - hy : H;
    const int rightX = X0 + hx, rightW = X0 + hx + W < IW ? W : W - hx;
    const int bottomY = Y0 + hy, bottomH = Y0 + hy + H < IH ? H : H - hy;
    probes[0] = cvRect(leftX, topY, leftW, topH);
    probes[1] = cvRect(rightX, topY, rightW, topH);
    probes[2] = cvRect(rightX, bottomY, rightW, bottomH);
    probes[3] = cvRect(leftX, bottomY, leftW, bottomH);
}

/* One ObjectTracking call: its arguments and the info record whose bases field follows every Write. */
struct TrackingStep
{
    CvAssociativeMemory& memory;
    RcgAMFunc eventFunc;
    void* userPointer;
    bool learning;
    double learningCeiling;
    double acceptanceFloor;
    CvAMObjectInfo info;

    /* Raises code with type and an info record of rect, confidence, the current bases value and userSlot. */
    void Raise(int code, int* type, CvRect rect, double confidence, void** userSlot)
    {
        info = {rect, confidence, info.bases, userSlot};
        eventFunc(code, type, &info, userPointer);
    }

    /* Learns from a detection, then updates the nearest track of its type within the gate or starts one. */
    void Associate(CvAMDetection* d);
    /* Writes the detection's area at the trained size when it is about that size and not yet recognised
       well; raises CV_AM_LEARNED when the memory took it. */
    void LearnDetection(const DetectionMean& m, int* type);
    /* The nearest live track of type not yet updated in this call, with its squared distance (rx, ry:
       image pixels to base-window units); also the first free slot, if any. */
    CvAMTrack* FindNearestTrack(const DetectionMean& m, int type, float rx, float ry, int64_t* distance,
                                CvAMTrack** freeSlot);
    /* Starts a track of type at the detection in slot, or in a new slot with its own filter. */
    void StartTrack(CvAMTrack* slot, const DetectionMean& m, int type);
    /* Looks for an undetected live track around its predicted place and updates it when asked to. */
    void ReDetect(CvAMTrack* t);
};

void TrackingStep::Associate(CvAMDetection* d)
{
    const DetectionMean m = MeanOf(*d);
    if (learning)
        LearnDetection(m, &d->data);

    // Distances are measured in base-window units.
    const float rx = static_cast<float>(memory.context.alignedWidth) / static_cast<float>(m.size.width);
    const float ry = static_cast<float>(memory.context.alignedHeight) / static_cast<float>(m.size.height);
    const int gate = TruncInt(static_cast<float>(memory.gateRadius2) * ry * rx);
    int64_t distance = 0;
    CvAMTrack* freeSlot = NULL;
    CvAMTrack* nearest = FindNearestTrack(m, d->data, rx, ry, &distance, &freeSlot);
    if (nearest && distance < gate) {
        // z = displacement of the centre in base-window units
        UpdateTrack(memory, nearest, static_cast<float>(m.centre.x - nearest->centreX) * rx,
                    static_cast<float>(m.centre.y - nearest->centreY) * ry, m.centre, m.size, m.confidence);
        return;
    }
    StartTrack(freeSlot, m, d->data);
}

void TrackingStep::LearnDetection(const DetectionMean& m, int* type)
{
    CvAssociativeMemory& am = memory;
    const int W = am.context.width, H = am.context.height;
    // Only objects of about the trained size, at the trained size.
    const int64_t dw = static_cast<int64_t>(m.size.width) - W, dh = static_cast<int64_t>(m.size.height) - H;
    if (!(m.confidence < learningCeiling && dw * dw + dh * dh < am.sizeTolerance2))
        return;
    const int64_t x = static_cast<int64_t>(m.centre.x) - (W >> 1),
                  y = static_cast<int64_t>(m.centre.y) - (H >> 1);
    const CvRect rect = cvRect(static_cast<int>(x), static_cast<int>(y), W, H);
    if (x >= 0 && y >= 0 && x + W <= am.sourceWidth && y + H <= am.sourceHeight &&
        WriteArea(am, rect, type)) {
        info.bases = am.context.baseCount;
        Raise(CV_AM_LEARNED, type, rect, m.confidence, NULL);
    }
}

CvAMTrack* TrackingStep::FindNearestTrack(const DetectionMean& m, int type, float rx, float ry,
                                          int64_t* distance, CvAMTrack** freeSlot)
{
    CvAMTrack* nearest = NULL;
    int64_t nearestDistance = std::numeric_limits<int>::max();
    ForEachElement<CvAMTrack>(memory.tracks, [&](CvAMTrack* t) {
        if (!t->active) {
            if (!*freeSlot)
                *freeSlot = t;
            return;
        }
        if (t->lastFrame == memory.frameCounter)
            return;
        // e = (estimate / r + centre - mean centre) r
        const float ex =
            (t->estimateX / rx + static_cast<float>(t->centreX) - static_cast<float>(m.centre.x)) * rx;
        const float ey =
            (t->estimateY / ry + static_cast<float>(t->centreY) - static_cast<float>(m.centre.y)) * ry;
        const int64_t e2 = static_cast<int64_t>(TruncInt(ey * ey)) + TruncInt(ex * ex);
        if (e2 < nearestDistance && t->data == type) {
            nearest = t;
            nearestDistance = e2;
        }
    });
    *distance = nearestDistance;
    return nearest;
}

void TrackingStep::StartTrack(CvAMTrack* slot, const DetectionMean& m, int type)
{
    CvAMTrack* t = slot;
    if (!t) {
        CvAMTrack fresh = {};
        fresh.filter = CreateTrackFilter();
        if (!fresh.filter)
            return;
        t = reinterpret_cast<CvAMTrack*>(cvSeqPush(memory.tracks, &fresh));
    }
    t->active = 1;
    t->centreX = m.centre.x;
    t->centreY = m.centre.y;
    t->estimateX = 0.0f;
    t->estimateY = 0.0f;
    t->hits = 0;
    t->width = m.size.width;
    t->height = m.size.height;
    t->confidence = m.confidence;
    t->data = type;
    t->lastFrame = memory.frameCounter;
    t->userData = NULL;
    cvConDensInitSampleSet(t->filter, memory.lowerBound, memory.upperBound);
}

void TrackingStep::ReDetect(CvAMTrack* t)
{
    CvAssociativeMemory& am = memory;
    const int W = am.context.width, H = am.context.height;
    const int AW = am.context.alignedWidth, AH = am.context.alignedHeight;
    const int IW = am.sourceWidth, IH = am.sourceHeight;

    // The predicted place, centre + estimate / scale, read at the trained size.
    const float sx = static_cast<float>(AW) / static_cast<float>(t->width);
    const float sy = static_cast<float>(AH) / static_cast<float>(t->height);
    const int px = TruncInt(t->estimateX / sx + static_cast<float>(t->centreX));
    const int py = TruncInt(t->estimateY / sy + static_cast<float>(t->centreY));
    const int64_t x = std::max<int64_t>(static_cast<int64_t>(px) - (W >> 1), 0);
    const int64_t y = std::max<int64_t>(static_cast<int64_t>(py) - (H >> 1), 0);
    if (x + W > IW || y + H > IH)
        return;
    Recall best;
    if (!ReadAll(am, cvRect(static_cast<int>(x), static_cast<int>(y), W, H), &best))
        return;

    CvRect probes[4];
    DiagonalProbes(am, best.found, probes);
    for (const CvRect& probe : probes) {
        if (probe.x + probe.width > IW || probe.y + probe.height > IH)
            continue;
        Recall recall;
        if (ReadAll(am, probe, &recall) && recall.data == t->data && best.confidence < recall.confidence)
            best = recall;
    }

    if (!learning || best.data != t->data || !(best.confidence > acceptanceFloor))
        return;
    if (best.confidence < CV_AM_LEARN_CONFIDENCE && best.hits > CV_AM_LEARN_HITS &&
        WriteArea(am, best.input, &t->data)) {
        info.bases = am.context.baseCount;
        Raise(CV_AM_LEARNED, &t->data, best.input, best.confidence, &t->userData);
    }

    // z = displacement of the centre in image pixels
    const CvRect& found = best.found;
    const CvPoint centre = cvPoint(found.x + (found.width >> 1), found.y + (found.height >> 1));
    UpdateTrack(am, t, static_cast<float>(centre.x - t->centreX), static_cast<float>(centre.y - t->centreY),
                centre, cvSize(found.width, found.height), best.confidence);
}

} // namespace

void CvAssociativeMemory::ObjectTracking(RcgAMFunc eventFunc, void* userPointer, bool learning,
                                         double learningCeiling, double acceptanceFloor)
{
    if (!eventFunc) {
        CV_REPORT(CV_StsNullPtr, CV_AM_TRACKING_FUNC, CV_AM_NULL_EVENT_FUNC_MSG);
        return;
    }
    eventFunc(CV_AM_FRAME_START, NULL, NULL, userPointer);

    cvClearSeq(detections);
    CvAMScanContext scan = {this, &eventFunc, userPointer};
    {
        SearchAhead ahead(*this);
        ScanImage(CvAMScanFunc{RecognizeWindow}, &scan);
    }

    // The reported bases value starts at the call's baseCount and follows every Write of the step.
    const CvAMObjectInfo info = {cvRect(0, 0, 0, 0), 0.0, context.baseCount, NULL};
    TrackingStep step = {*this, eventFunc, userPointer, learning, learningCeiling, acceptanceFloor, info};
    ForEachElement<CvAMDetection>(detections, [&step](CvAMDetection* d) { step.Associate(d); });

    ForEachElement<CvAMTrack>(tracks, [&](CvAMTrack* t) {
        if (t->active && frameCounter - t->lastFrame > CV_AM_TRACK_LIFETIME) {
            t->active = 0;
            ReleaseUserData(t);
        }
        if (!t->active)
            return;
        t->confidence *= 0.5;
        step.Raise(CV_AM_TRACKED, &t->data,
                   cvRect(t->centreX - (t->width >> 1), t->centreY - (t->height >> 1), t->width, t->height),
                   t->confidence, &t->userData);
        if (t->lastFrame != frameCounter)
            step.ReDetect(t);
    });

    frameCounter++;
    eventFunc(CV_AM_FRAME_END, NULL, NULL, userPointer);
}
