// One tracking step on 640 x 480 traffic frames: the scan of every window at every scale, association,
// and the re-detection of live tracks, with memories taught 1, 10 and 100 objects.
#include "TrafficFrames.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct Counts
{
    int64_t windows = 0;
};

void Count(int code, int*, CvAMObjectInfo*, void* user)
{
    if (code == CV_AM_RECOGNIZED || code == CV_AM_NOT_RECOGNIZED)
        static_cast<Counts*>(user)->windows++;
}

/* Teaches objects views of the scene's vehicles: view i is vehicle 1 + i % 6 in frame 3 i, as its type. */
void Teach(CvAssociativeMemory& am, const TrafficScene& scene, int objects)
{
    cv::Mat grey;
    for (int i = 0; i < objects; i++) {
        const int id = 1 + i % 6;
        RenderGrey(scene, 3 * i, grey);
        IplImage header = cvIplImage(grey);
        am.SetImage(&header);
        cv::Rect box = TrueBox(scene, 3 * i, id);
        if (box.empty())
            box = cv::Rect(270, 190, 100, 100);
        const CvRect selection = Pick(box, grey.cols, grey.rows);
        am.Write(selection, &id);
        am.Read(selection);
    }
}

/* Makes every slot free, then, when asked, ten live tracks that no detection of this call has updated yet,
   spread over the frame (each then costs up to five reads of re-detection or one filter update). */
void SetTracks(CvAssociativeMemory& am, int live)
{
    for (int i = 0; i < am.tracks->total; i++)
        reinterpret_cast<CvAMTrack*>(cvGetSeqElem(am.tracks, i))->active = 0;
    for (int i = 0; i < live; i++) {
        if (i >= am.tracks->total) {
            CvAMTrack fresh = {};
            fresh.filter = cvCreateConDensation(2, 2, 64);
            CvMat dynamics = cvMat(2, 2, CV_32FC1, fresh.filter->DynamMatr);
            cvSetIdentity(&dynamics, cvRealScalar(1.0));
            cvConDensInitSampleSet(fresh.filter, am.lowerBound, am.upperBound);
            cvSeqPush(am.tracks, &fresh);
        }
        CvAMTrack* t = reinterpret_cast<CvAMTrack*>(cvGetSeqElem(am.tracks, i));
        t->active = 1;
        t->centreX = 80 + 120 * (i % 5);
        t->centreY = 120 + 240 * (i / 5);
        t->estimateX = t->estimateY = 0.0f;
        t->width = t->height = 100;
        t->confidence = 0.5;
        t->data = 1 + i % 6;
        t->lastFrame = am.frameCounter - 1;
        t->hits = 1;
    }
}

void BM_ObjectTracking(benchmark::State& state)
{
    const int objects = static_cast<int>(state.range(0));
    const int live = static_cast<int>(state.range(1));
    TrafficScene scene;
    CvAssociativeMemory am;
    am.Create(100, 100, 0);
    Teach(am, scene, objects);
    std::vector<cv::Mat> frames(8);
    for (size_t k = 0; k < frames.size(); k++)
        RenderGrey(scene, 100 + 7 * static_cast<int>(k), frames[k]);

    Counts counts;
    am.frameCounter = 1;
    size_t k = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        IplImage header = cvIplImage(frames[k++ % frames.size()]);
        am.SetImage(&header);
        SetTracks(am, live);
        state.ResumeTiming();
        am.ObjectTracking(Count, &counts, false, 5.005, 4.995);
        calls++;
    }
    state.counters["windows"] = calls ? static_cast<double>(counts.windows) / calls : 0.0;
    state.counters["bases"] = am.context.baseCount;
}
BENCHMARK(BM_ObjectTracking)
    ->ArgNames({"objects", "tracks"})
    ->ArgsProduct({{1, 10, 100}, {0, 10}})
    ->Unit(benchmark::kMillisecond);

} // namespace
