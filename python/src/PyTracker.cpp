#include "PyTracker.h"

#include "FileRows.h"
#include "Frames.h"
#include "GreyPipeline.h"
#include "LanescopeSettings.h"
#include "Reports.h"

#include <pybind11/pybind11.h>

#include <new>

namespace py = pybind11;

namespace {

/* Size of the block that marks a track as known: its address is the track's identity between steps. */
const size_t CV_PY_TRACK_BLOCK = sizeof(int32_t);

/* rect in the frame's own coordinates. */
cv::Rect OwnBox(const CvPyTracker& tracker, CvRect rect)
{
    const int y = tracker.upsideDown ? FlippedTop(rect.y, rect.height, tracker.frameSize.height) : rect.y;
    return cv::Rect(rect.x, y, rect.width, rect.height);
}

/* The tracker's event function: attaches a block to a new track as Lanescope's handler attaches its
   trajectory, gives tracks their ids as the tracks file does, and keeps every event. */
void OnTrackerEvent(int event, int* type, CvAMObjectInfo* info, void* userPointer)
{
    CvPyTracker& tracker = *static_cast<CvPyTracker*>(userPointer);
    CvPyEvent kept{event, info != nullptr, type ? *type : 0, cv::Rect(), 0.0, 0};
    if (info) {
        kept.box = OwnBox(tracker, info->rect);
        kept.confidence = info->confidence;
        kept.bases = info->bases;
    }
    tracker.events.push_back(kept);
    if (event == CV_AM_FRAME_START) {
        BeginTrackIdStep(tracker.ids);
        return;
    }
    if (event != CV_AM_TRACKED || !info || !info->userSlot || !type)
        return;
    const void* previousBlock = *info->userSlot;
    // The tracker frees the block with operator delete; without memory the track has no identity.
    if (!previousBlock)
        *info->userSlot = operator new(CV_PY_TRACK_BLOCK, std::nothrow);
    const void* block = *info->userSlot;
    if (!block)
        return;
    tracker.tracks.push_back(
        CvPyTrack{TrackId(tracker.ids, previousBlock, block), *type, kept.box, info->confidence});
}

} // namespace

CvPyTracker::~CvPyTracker()
{
    if (!closed && memory) {
        std::lock_guard<std::mutex> hold(memory->lock);
        memory->tracked = false;
    }
}

std::shared_ptr<CvPyTracker> CreateTracker(std::shared_ptr<CvPyMemory> memory, bool upsideDown)
{
    if (!memory)
        throw py::type_error("a tracker needs a lanescope.Memory");
    {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> hold(memory->lock);
        memory->Open();
        if (memory->tracked)
            throw py::value_error("the memory already serves a tracker (close it first, or load the memory "
                                  "once per tracker)");
        memory->tracked = true;
    }
    auto tracker = std::make_shared<CvPyTracker>();
    tracker->memory = std::move(memory);
    tracker->upsideDown = upsideDown;
    return tracker;
}

std::vector<CvPyTrack> TrackFrame(CvPyTracker& tracker, const cv::Mat& frame)
{
    if (tracker.closed)
        throw py::value_error("the tracker is closed");
    if (tracker.frameSize.empty())
        tracker.frameSize = frame.size();
    if (frame.size() != tracker.frameSize)
        throw py::value_error(
            "a tracker takes frames of one size: " + std::to_string(tracker.frameSize.width) + " x " +
            std::to_string(tracker.frameSize.height) + " (width x height), not " +
            std::to_string(frame.cols) + " x " + std::to_string(frame.rows));
    CvPyMemory& memory = *tracker.memory;
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> hold(memory.lock);
    CvAssociativeMemory& m = memory.Open();
    tracker.tracks.clear();
    tracker.events.clear();
    CvReportScope reports;
    const int64 start = cv::getTickCount();
    IplImage bgr = cvIplImage(AnalysedBgr(frame, tracker.upsideDown, tracker.turned));
    tracker.grey.create(frame.size(), CV_8UC1);
    IplImage grey = cvIplImage(tracker.grey);
    PrepareGreyImage(&bgr, &grey);
    m.SetImage(&grey);
    m.ObjectTracking(OnTrackerEvent, &tracker, CV_LS_LEARNING, CV_LS_LEARNING_CEILING,
                     CV_LS_ACCEPTANCE_FLOOR);
    tracker.workMs = 1000.0 * static_cast<double>(cv::getTickCount() - start) / cv::getTickFrequency();
    reports.ThrowIfReported();
    return tracker.tracks;
}

std::vector<CvPyEvent> LastEvents(CvPyTracker& tracker)
{
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> hold(tracker.memory->lock);
    return tracker.events;
}

void CloseTracker(CvPyTracker& tracker)
{
    if (tracker.closed)
        return;
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> hold(tracker.memory->lock);
    tracker.memory->tracked = false;
    tracker.closed = true;
}
