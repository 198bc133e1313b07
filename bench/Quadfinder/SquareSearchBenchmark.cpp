// The per-frame square search beside its floor, the seven binarisations and contour traces that no search
// can do without; both run on the same 640 x 480 frames and clear the storage every frame. Three kinds of
// frame, the benchmark's argument: 0 street-like frames, 1 the maker's drifting squares, 2 the maker's
// traffic, each as the program's loop sees it (upright, grey, eroded).
// CPU time counts the calling thread only (OpenCV spreads the adaptive threshold over its workers);
// OPENCV_FOR_THREADS_NUM=1 keeps all the work on it. The plain search shows what the skipped contours cost.

#include "PlainSquareSearch.h"
#include "SquareSearchImage.h"
#include "Squares.h"
#include "SyntheticFrames.h"
#include "TrafficScene.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc/imgproc_c.h>

#include <vector>

namespace {

const int FRAME_COUNT = 8;

/* The frame kinds, by benchmark argument. */
enum FrameKind { STREET_FRAMES, SQUARE_FRAMES, TRAFFIC_FRAMES, FRAME_KINDS };
const char* const FRAME_KIND_NAMES[FRAME_KINDS] = {"street", "squares", "traffic"};

/* Colour frame number i of a kind, 640 x 480, upright. */
cv::Mat MakeFrame(int kind, int i)
{
    if (kind == STREET_FRAMES)
        return MakeStreetFrame(640, 480, 1000 + i);
    TrafficSceneOptions options;
    options.kind = kind == SQUARE_FRAMES ? SceneKind::Squares : SceneKind::Traffic;
    const TrafficScene scene(options);
    cv::Mat colour;
    // Frames a second apart, so that the objects have moved on.
    scene.Render(25 * i, colour);
    return colour;
}

/* The grey, eroded frames of a kind that the search sees in the program's loop. */
const std::vector<cv::Mat>& GreyFrames(int kind)
{
    static std::vector<cv::Mat> frames[FRAME_KINDS];
    if (frames[kind].empty())
        for (int i = 0; i < FRAME_COUNT; i++) {
            cv::Mat colour = MakeFrame(kind, i);
            cv::Mat grey(480, 640, CV_8UC1);
            IplImage colourImage = cvIplImage(colour), greyImage = cvIplImage(grey);
            PrepareSquareSearchImage(&colourImage, &greyImage);
            frames[kind].push_back(grey);
        }
    return frames[kind];
}

/* IplImage headers over the frames of the benchmark's kind, which also labels the run. */
std::vector<IplImage> FrameImages(benchmark::State& state)
{
    const int kind = int(state.range(0));
    state.SetLabel(FRAME_KIND_NAMES[kind]);
    std::vector<IplImage> images;
    for (const cv::Mat& frame : GreyFrames(kind))
        images.push_back(cvIplImage(frame));
    return images;
}

/* Binarises and traces all seven levels into storage, as the search does, and nothing else. */
int TraceLevels(const IplImage* grey, CvMemStorage* storage)
{
    IplImage* work = cvCreateImage(cvGetSize(grey), IPL_DEPTH_8U, 1);
    int contourCount = 0;
    for (int level = 0; level < CV_SQUARE_LEVELS; level++) {
        BinariseSquareLevel(grey, work, level);
        CvSeq* contours = nullptr;
        contourCount += cvFindContours(work, storage, &contours, sizeof(CvContour), CV_RETR_LIST,
                                       CV_CHAIN_APPROX_SIMPLE, cvPoint(0, 0));
    }
    cvReleaseImage(&work);
    return contourCount;
}

template <CvSeq* (*Search)(const IplImage*, CvMemStorage*)> void BM_Search(benchmark::State& state)
{
    std::vector<IplImage> images = FrameImages(state);
    CvMemStorage* storage = cvCreateMemStorage(0);
    size_t i = 0;
    int64_t squares = 0;
    for (auto _ : state) {
        CvSeq* result = Search(&images[i++ % images.size()], storage);
        squares += result->total / 4;
        cvClearMemStorage(storage);
    }
    state.counters["squares/frame"] = benchmark::Counter(double(squares) / double(state.iterations()));
    cvReleaseMemStorage(&storage);
}

void BM_SquareSearchFloor(benchmark::State& state)
{
    std::vector<IplImage> images = FrameImages(state);
    CvMemStorage* storage = cvCreateMemStorage(0);
    size_t i = 0;
    int64_t contours = 0;
    for (auto _ : state) {
        contours += TraceLevels(&images[i++ % images.size()], storage);
        cvClearMemStorage(storage);
    }
    state.counters["contours/frame"] = benchmark::Counter(double(contours) / double(state.iterations()));
    cvReleaseMemStorage(&storage);
}

} // namespace

BENCHMARK(BM_SquareSearchFloor)->DenseRange(0, FRAME_KINDS - 1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Search, FindSquares)
    ->Name("BM_FindSquares")
    ->DenseRange(0, FRAME_KINDS - 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Search, PlainFindSquares)
    ->Name("BM_PlainFindSquares")
    ->DenseRange(0, FRAME_KINDS - 1)
    ->Unit(benchmark::kMillisecond);
