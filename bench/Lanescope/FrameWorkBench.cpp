// Lanescope's per-frame work without the window, beside the cost of decoding the same video.
//
// BM_DecodeOnly grabs the frames of a 640 x 480 synthetic traffic video (Motion JPEG) and turns each
// upside down, as the frame loop does before its own work. BM_FrameWork runs that work on the decoded
// frames: the copy into the display image, the grey pipeline, SetImage and ObjectTracking with the real
// event handler drawing boxes, labels, trajectories and the step time. The memory was taught the scene's
// vehicles from every other frame of the first 40, so the scan finds and follows them. The ratio of the
// two times says how much of a frame the analysis costs next to decoding it. Both give the time that passes
// ("Time") and the processor time of all threads ("CPU"): the scan's searches run on every core that
// OpenCV's parallel loops use, as the grey pipeline's OpenCV calls do. BM_FrameWorkPerDecode makes both in
// turn, frame by frame, so that both meet the same load of the machine, and gives their ratio.
#include "../ProcessorContext.h"
#include "FrameLoop.h"
#include "GreyPipeline.h"
#include "TrafficScene.h"
#include "VideoCapture.h"

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const int CV_BENCH_FRAMES = 120;

/* The synthetic video, written once to a temporary file and removed at exit. */
struct TrafficVideo
{
    std::string path;
    TrafficScene scene;
    TrafficVideo()
    {
        char name[] = "/tmp/lanescope_benchXXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        std::remove(name);
        path = std::string(name) + ".avi";
        WriteSceneVideo(scene, path, CV_BENCH_FRAMES, 25.0, "");
    }
    ~TrafficVideo() { std::remove(path.c_str()); }
};

const TrafficVideo& Video()
{
    static TrafficVideo video;
    return video;
}

/* Every frame of the video as the loop sees it after the grab: decoded and upside down. */
std::vector<cv::Mat> DecodeAll()
{
    std::vector<cv::Mat> frames;
    cvcompat::Capture* capture = cvcompat::CreateFileCapture(Video().path.c_str());
    while (IplImage* frame = cvcompat::QueryFrame(capture)) {
        cvFlip(frame, NULL, 0);
        frames.push_back(cv::cvarrToMat(frame).clone());
    }
    cvcompat::ReleaseCapture(&capture);
    return frames;
}

/* Teaches memory every vehicle wholly inside every other one of the first 40 frames under its id. */
void Teach(CvAssociativeMemory& memory, const std::vector<cv::Mat>& frames)
{
    cv::Mat grey(frames[0].size(), CV_8UC1);
    for (int k = 0; k < 40; k += 2) {
        IplImage frameIpl = cvIplImage(frames[k]), greyIpl = cvIplImage(grey);
        PrepareGreyImage(&frameIpl, &greyIpl);
        memory.SetImage(&greyIpl);
        for (const SceneObject& o : Video().scene.Boxes(k)) {
            const CvRect area =
                cvRect(o.box.x + o.box.width / 2 - 50, o.box.y + o.box.height / 2 - 50, 100, 100);
            if (area.x < 0 || area.y < 0 || area.x + 100 > grey.cols || area.y + 100 > grey.rows)
                continue;
            memory.Write(area, &o.id);
            memory.Read(area);
        }
    }
}

void BM_DecodeOnly(benchmark::State& state)
{
    cvcompat::Capture* capture = cvcompat::CreateFileCapture(Video().path.c_str());
    for (auto _ : state) {
        IplImage* frame = cvcompat::QueryFrame(capture);
        if (!frame) {
            state.PauseTiming();
            cvcompat::ReleaseCapture(&capture);
            capture = cvcompat::CreateFileCapture(Video().path.c_str());
            state.ResumeTiming();
            frame = cvcompat::QueryFrame(capture);
        }
        cvFlip(frame, NULL, 0);
        benchmark::DoNotOptimize(frame->imageData);
    }
    cvcompat::ReleaseCapture(&capture);
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

/* The grey pipeline alone: the conversion, the dark cut, equalisation and erosion in one table, the
   smoothing. */
void BM_GreyPipeline(benchmark::State& state)
{
    const std::vector<cv::Mat> frames = DecodeAll();
    cv::Mat grey(frames[0].size(), CV_8UC1);
    IplImage greyIpl = cvIplImage(grey);
    size_t k = 0;
    for (auto _ : state) {
        IplImage frameIpl = cvIplImage(frames[k]);
        PrepareGreyImage(&frameIpl, &greyIpl);
        benchmark::DoNotOptimize(grey.data);
        k = (k + 1) % frames.size();
    }
}
BENCHMARK(BM_GreyPipeline)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

/* The frame loop's state after teaching: the decoded frames, the taught memory and the loop's images. */
struct TaughtLoop
{
    std::vector<cv::Mat> frames = DecodeAll();
    CvAssociativeMemory memory;
    cv::Mat display, grey;
    IplImage displayIpl, greyIpl;
    TaughtLoop()
        : display(frames[0].size(), CV_8UC3), grey(frames[0].size(), CV_8UC1), displayIpl(cvIplImage(display)),
          greyIpl(cvIplImage(grey))
    {
        memory.Create(CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT, 0);
        Teach(memory, frames);
        InitLanescopeState(lanescopeState);
    }
    /* The frame's whole work on frame. */
    void Process(IplImage* frame)
    {
        ProcessFrame(memory, 1, frame, &displayIpl, &greyIpl);
        benchmark::DoNotOptimize(display.data);
    }
};

void BM_FrameWork(benchmark::State& state)
{
    TaughtLoop loop;
    size_t k = 0;
    for (auto _ : state) {
        IplImage frameIpl = cvIplImage(loop.frames[k]);
        loop.Process(&frameIpl);
        k = (k + 1) % loop.frames.size();
    }
    state.counters["bases"] = loop.memory.context.baseCount;
}
BENCHMARK(BM_FrameWork)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

/* The time that passes and the processor time of all the process's threads, in seconds. */
struct Clocks
{
    double wall, processor;
    static Clocks Now()
    {
        timespec t;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return {std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
                static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec)};
    }
    Clocks operator-(const Clocks& o) const { return {wall - o.wall, processor - o.processor}; }
    Clocks& operator+=(const Clocks& o)
    {
        wall += o.wall;
        processor += o.processor;
        return *this;
    }
};

/* Decoding the next frame (and turning it upside down) and then the frame's whole work on it, in turn, each
   timed as the time that passes and as processor time: their mean times in milliseconds and the work's time
   per decoding. On a machine others load too the time that passes varies with their load, the processor
   time far less; it counts the scan's searches made ahead on a second thread as well. */
void BM_FrameWorkPerDecode(benchmark::State& state)
{
    TaughtLoop loop;
    cvcompat::Capture* capture = cvcompat::CreateFileCapture(Video().path.c_str());
    Clocks decode{0.0, 0.0}, work{0.0, 0.0};
    int64_t frameCount = 0;
    for (auto _ : state) {
        Clocks t0 = Clocks::Now();
        IplImage* frame = cvcompat::QueryFrame(capture);
        if (!frame) {
            // At the end the video is opened afresh, untimed.
            cvcompat::ReleaseCapture(&capture);
            capture = cvcompat::CreateFileCapture(Video().path.c_str());
            t0 = Clocks::Now();
            frame = cvcompat::QueryFrame(capture);
        }
        cvFlip(frame, NULL, 0);
        const Clocks t1 = Clocks::Now();
        loop.Process(frame);
        work += Clocks::Now() - t1;
        decode += t1 - t0;
        frameCount++;
    }
    cvcompat::ReleaseCapture(&capture);
    if (frameCount == 0 || decode.wall <= 0.0 || decode.processor <= 0.0)
        return;
    const double frames = static_cast<double>(frameCount);
    state.counters["decode_ms"] = 1e3 * decode.wall / frames;
    state.counters["work_ms"] = 1e3 * work.wall / frames;
    state.counters["per_decode"] = work.wall / decode.wall;
    state.counters["cpu_per_decode"] = work.processor / decode.processor;
}
BENCHMARK(BM_FrameWorkPerDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
