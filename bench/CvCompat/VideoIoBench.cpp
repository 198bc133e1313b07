// The per-frame cost of the shared frame cycle at VGA: decoding a Motion JPEG frame, turning it upside
// down, and recording one; and of rendering a synthetic frame.

#include "TrafficScene.h"
#include "VideoCapture.h"
#include "VideoWriter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const int FRAMES = 30;

/* A VGA traffic video written once per process and removed at its end. */
struct TestVideoFile
{
    std::string path = "/tmp/videoio_bench_" + std::to_string(getpid()) + ".avi";
    TestVideoFile() { WriteSceneVideo(TrafficScene(TrafficSceneOptions{}), path, FRAMES, 25.0, ""); }
    ~TestVideoFile() { std::remove(path.c_str()); }
};

const std::string& TestVideo()
{
    static const TestVideoFile file;
    return file.path;
}

void BM_QueryAndFlipFrame(benchmark::State& state)
{
    cvcompat::Capture* capture = cvcompat::CreateFileCapture(TestVideo().c_str());
    for (auto _ : state) {
        IplImage* frame = cvcompat::QueryFrame(capture);
        if (!frame) {
            state.PauseTiming();
            cvcompat::ReleaseCapture(&capture);
            capture = cvcompat::CreateFileCapture(TestVideo().c_str());
            state.ResumeTiming();
            continue;
        }
        cvFlip(frame, nullptr, 0);
        benchmark::DoNotOptimize(frame->imageData);
    }
    cvcompat::ReleaseCapture(&capture);
}
BENCHMARK(BM_QueryAndFlipFrame)->Unit(benchmark::kMillisecond);

void BM_WriteFrame(benchmark::State& state)
{
    const std::string path = "/tmp/videoio_bench_out_" + std::to_string(getpid()) + ".avi";
    cvcompat::VideoWriter* writer = cvcompat::CreateVideoWriter(path.c_str(), -1, 25.0, cvSize(640, 480), 1);
    cv::Mat frame;
    TrafficScene(TrafficSceneOptions{}).Render(0, frame);
    IplImage header = cvIplImage(frame);
    for (auto _ : state)
        benchmark::DoNotOptimize(cvcompat::WriteFrame(writer, &header));
    cvcompat::ReleaseVideoWriter(&writer);
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteFrame)->Unit(benchmark::kMillisecond);

void BM_RenderTrafficFrame(benchmark::State& state)
{
    const TrafficScene scene{TrafficSceneOptions{}};
    cv::Mat frame;
    int k = 0;
    for (auto _ : state)
        scene.Render(k++, frame);
}
BENCHMARK(BM_RenderTrafficFrame)->Unit(benchmark::kMillisecond);

} // namespace
