// One tracking step on 640 x 480 traffic frames: the scan of every window at every scale, association,
// and the re-detection of live tracks, with memories taught 1, 10 and 100 objects and with one taught
// from the annotations of 200 frames. On real street video the step is measured beside decoding the
// frame and beside OpenCV's single-object trackers following one object (KCF, MOSSE), and, where the goal is
// a ratio, interleaved with a KCF update frame by frame so that both meet the same load of the machine.
#include "../ProcessorContext.h"
#include "LanescopeSettings.h"
#include "RealVideo.h"
#include "TrafficFrames.h"

#include <benchmark/benchmark.h>

#ifdef LANESCOPE_HAVE_CONTRIB_TRACKERS
#include <opencv2/tracking.hpp>
#include <opencv2/tracking/tracking_legacy.hpp>
#endif

#include <ctime>
#include <map>
#include <string>
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
        am.ObjectTracking(Count, &counts, CV_LS_LEARNING, CV_LS_LEARNING_CEILING, CV_LS_ACCEPTANCE_FLOOR);
        calls++;
    }
    state.counters["windows"] = calls ? static_cast<double>(counts.windows) / calls : 0.0;
    state.counters["bases"] = am.context.baseCount;
}
BENCHMARK(BM_ObjectTracking)
    ->ArgNames({"objects", "tracks"})
    ->ArgsProduct({{1, 10, 100}, {0, 10}})
    ->Unit(benchmark::kMillisecond);

/* Teaches the annotations of frames frames: every vehicle of every frame, as a pick around its true box
   (Write and Read back), under its id. Never pruned, as a memory built in one run is. */
void TeachAnnotations(CvAssociativeMemory& am, const TrafficScene& scene, int frames)
{
    cv::Mat grey;
    for (int k = 0; k < frames; k++) {
        RenderGrey(scene, k, grey);
        IplImage header = cvIplImage(grey);
        am.SetImage(&header);
        for (const SceneObject& o : scene.Boxes(k)) {
            const CvRect selection = Pick(o.box, grey.cols, grey.rows);
            am.Write(selection, &o.id);
            am.Read(selection);
        }
    }
}

/* A memory taught every vehicle of 200 synthetic frames, and 8 later frames of the scene to track in. */
struct AnnotatedMemory
{
    TrafficScene scene;
    CvAssociativeMemory am;
    std::vector<cv::Mat> frames;
    AnnotatedMemory() : frames(8)
    {
        am.Create(100, 100, 0);
        TeachAnnotations(am, scene, 200);
        for (size_t k = 0; k < frames.size(); k++)
            RenderGrey(scene, 200 + 7 * static_cast<int>(k), frames[k]);
    }
    /* Hands the k-th of the frames, round and round, to the memory. */
    void Show(size_t k)
    {
        IplImage header = cvIplImage(frames[k % frames.size()]);
        am.SetImage(&header);
    }
};

void BM_AnnotatedMemory(benchmark::State& state)
{
    AnnotatedMemory annotated;
    Counts counts;
    size_t k = 0;
    for (auto _ : state) {
        state.PauseTiming();
        annotated.Show(k++);
        state.ResumeTiming();
        annotated.am.ObjectTracking(Count, &counts, CV_LS_LEARNING, CV_LS_LEARNING_CEILING,
                                    CV_LS_ACCEPTANCE_FLOOR);
    }
    state.counters["bases"] = annotated.am.context.baseCount;
}
BENCHMARK(BM_AnnotatedMemory)->Unit(benchmark::kMillisecond);

/* Everything measured here runs on one thread, OpenCV's trackers and image functions included. One, not 0:
   with OpenCV's TBB loops 0 also runs them in turn, yet getNumThreads() still answers the cores' count. */
const bool singleThreaded = (cv::setNumThreads(1), true);

const char* const realVideos[] = {CV_REAL_VTEST, CV_REAL_MEGAMIND};

/* The first 100 frames of real video 0 (vtest, 768 x 576) or 1 (Megamind, 720 x 528), loaded once; NULL
   with the benchmark skipped when the file is absent. */
RealVideo* RealFrames(benchmark::State& state)
{
    static std::map<int64_t, RealVideo> loaded;
    const int64_t which = state.range(0);
    auto found = loaded.find(which);
    if (found == loaded.end()) {
        RealVideo video;
        video.Load(realVideos[which], 100);
        found = loaded.emplace(which, std::move(video)).first;
    }
    if (found->second.grey.empty()) {
        state.SkipWithError((std::string(realVideos[which]) + " is absent (package opencv-doc)").c_str());
        return NULL;
    }
    state.SetLabel(std::to_string(found->second.grey[0].cols) + "x" +
                   std::to_string(found->second.grey[0].rows));
    return &found->second;
}

/* The box every single-object tracker starts on: the first pick of TeachViews. */
const cv::Rect realStart(60, 192, 100, 100);

/* Decoding a frame of the real video and turning it upside down, as the programs' grab does. */
void BM_RealDecode(benchmark::State& state)
{
    if (!RealFrames(state))
        return;
    cv::VideoCapture capture(realVideos[state.range(0)]);
    cv::Mat frame;
    for (auto _ : state) {
        if (!capture.read(frame)) {
            state.PauseTiming();
            capture.open(realVideos[state.range(0)]);
            state.ResumeTiming();
            capture.read(frame);
        }
        cv::flip(frame, frame, 0);
        benchmark::DoNotOptimize(frame.data);
    }
}
BENCHMARK(BM_RealDecode)->ArgName("video")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

/* ObjectTracking on the real video with ten taught views, as the application calls it. */
void BM_RealTracking(benchmark::State& state)
{
    RealVideo* video = RealFrames(state);
    if (!video)
        return;
    CvAssociativeMemory am;
    TeachViews(am, *video, 10);
    Counts counts;
    size_t k = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ShowFrame(am, *video, k++);
        state.ResumeTiming();
        am.ObjectTracking(Count, &counts, CV_LS_LEARNING, CV_LS_LEARNING_CEILING, CV_LS_ACCEPTANCE_FLOOR);
        calls++;
    }
    state.counters["windows"] = calls ? static_cast<double>(counts.windows) / calls : 0.0;
    state.counters["bases"] = am.context.baseCount;
}
BENCHMARK(BM_RealTracking)->ArgName("video")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

/* The same on two threads, the scan's searches made ahead on both: the time that passes per frame. */
void BM_RealTrackingOnTwoThreads(benchmark::State& state)
{
    cv::setNumThreads(2);
    BM_RealTracking(state);
    cv::setNumThreads(1);
}
BENCHMARK(BM_RealTrackingOnTwoThreads)
    ->ArgName("video")
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef LANESCOPE_HAVE_CONTRIB_TRACKERS

/* One update of a single-object tracker per frame, following the object it started on in frame 0;
   restarted (untimed) when the frames run out. */
template <typename Start, typename Update>
void FollowOneObject(benchmark::State& state, Start start, Update update)
{
    RealVideo* video = RealFrames(state);
    if (!video)
        return;
    size_t k = 0;
    start(video->colour[0]);
    for (auto _ : state) {
        if (++k == video->colour.size()) {
            state.PauseTiming();
            k = 1;
            start(video->colour[0]);
            state.ResumeTiming();
        }
        update(video->colour[k]);
    }
}

void BM_RealKCF(benchmark::State& state)
{
    cv::Ptr<cv::TrackerKCF> tracker;
    cv::Rect box;
    FollowOneObject(
        state,
        [&](const cv::Mat& frame) {
            tracker = cv::TrackerKCF::create();
            tracker->init(frame, realStart);
        },
        [&](const cv::Mat& frame) { benchmark::DoNotOptimize(tracker->update(frame, box)); });
}
BENCHMARK(BM_RealKCF)->ArgName("video")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

void BM_RealMOSSE(benchmark::State& state)
{
    cv::Ptr<cv::legacy::TrackerMOSSE> tracker;
    cv::Rect2d box;
    FollowOneObject(
        state,
        [&](const cv::Mat& frame) {
            tracker = cv::legacy::TrackerMOSSE::create();
            tracker->init(frame, cv::Rect2d(realStart));
        },
        [&](const cv::Mat& frame) { benchmark::DoNotOptimize(tracker->update(frame, box)); });
}
BENCHMARK(BM_RealMOSSE)->ArgName("video")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

/* The processor time of the calling thread, in seconds. */
double ThreadSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

/* The k-th step of a tracker, prepare(k) untimed (the frame handed to the memory) and then run() timed, and
   one KCF update on the next frame of vtest, in turn, both timed in the thread's processor time: their mean
   times in milliseconds and the step's time per KCF update. */
template <typename Prepare, typename Run>
void StepPerKCF(benchmark::State& state, const RealVideo& street, Prepare prepare, Run run)
{
    cv::Ptr<cv::TrackerKCF> tracker;
    cv::Rect box;
    double stepSeconds = 0.0, kcfSeconds = 0.0;
    size_t frame = street.colour.size() - 1;
    int64_t calls = 0;
    for (auto _ : state) {
        prepare(static_cast<size_t>(calls));
        const double t0 = ThreadSeconds();
        run();
        const double t1 = ThreadSeconds();
        // KCF follows the object it started on in frame 0, and starts again (untimed) when the frames run
        // out.
        if (++frame == street.colour.size()) {
            tracker = cv::TrackerKCF::create();
            tracker->init(street.colour[0], realStart);
            frame = 1;
        }
        const double t2 = ThreadSeconds();
        benchmark::DoNotOptimize(tracker->update(street.colour[frame], box));
        kcfSeconds += ThreadSeconds() - t2;
        stepSeconds += t1 - t0;
        calls++;
    }
    if (calls == 0 || kcfSeconds <= 0.0)
        return;
    state.counters["step_ms"] = 1e3 * stepSeconds / static_cast<double>(calls);
    state.counters["KCF_ms"] = 1e3 * kcfSeconds / static_cast<double>(calls);
    state.counters["per_KCF"] = stepSeconds / kcfSeconds;
}

/* vtest's first 100 frames for KCF, loaded once; NULL with the benchmark skipped when the file is absent. */
const RealVideo* Street(benchmark::State& state)
{
    static RealVideo street;
    if (street.colour.empty() && !street.Load(CV_REAL_VTEST, 100)) {
        state.SkipWithError("vtest.avi is absent (package opencv-doc)");
        return NULL;
    }
    return &street;
}

/* ObjectTracking on the real video with ten taught views, as BM_RealTracking, beside KCF following one object
   in vtest. */
void BM_RealTrackingPerKCF(benchmark::State& state)
{
    RealVideo* video = RealFrames(state);
    const RealVideo* street = video ? Street(state) : NULL;
    if (!street)
        return;
    CvAssociativeMemory am;
    TeachViews(am, *video, 10);
    Counts counts;
    StepPerKCF(
        state, *street, [&](size_t k) { ShowFrame(am, *video, k); },
        [&] {
            am.ObjectTracking(Count, &counts, CV_LS_LEARNING, CV_LS_LEARNING_CEILING, CV_LS_ACCEPTANCE_FLOOR);
        });
}
BENCHMARK(BM_RealTrackingPerKCF)->ArgName("video")->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

/* The memory taught every vehicle of 200 synthetic frames, as BM_AnnotatedMemory, beside KCF on vtest. */
void BM_AnnotatedMemoryPerKCF(benchmark::State& state)
{
    const RealVideo* street = Street(state);
    if (!street)
        return;
    AnnotatedMemory annotated;
    Counts counts;
    StepPerKCF(
        state, *street, [&](size_t k) { annotated.Show(k); },
        [&] {
            annotated.am.ObjectTracking(Count, &counts, CV_LS_LEARNING, CV_LS_LEARNING_CEILING,
                                        CV_LS_ACCEPTANCE_FLOOR);
        });
}
BENCHMARK(BM_AnnotatedMemoryPerKCF)->Unit(benchmark::kMillisecond);

#endif

} // namespace
