// A windowless run of the real programs next to the work it cannot avoid.
//
// BM_WindowlessRun runs Lanescope or Quadfinder, with or without "/r", as a child process without a
// display on a 640 x 480 demo video that TrafficVideoMaker makes (300 frames; LANESCOPE_BENCH_FRAMES
// changes that), Lanescope from a memory LanescopeTeacher taught on its first 100 frames. Right before,
// in the same process, it times the parts of that run that are work: decoding the video alone, the
// program's frame work alone on the decoded frames, and encoding them as the recording is encoded. The
// counter "ratio" is the run's wall time over decode + work (+ encode with "/r"): what a run spends beyond
// its work, on a window nobody sees or on waiting for keys. The label names the processor.
// LANESCOPE_BENCH_PROGRAMS names a folder whose Lanescope and Quadfinder are run instead of the built ones,
// to measure another build side by side.
#include "FrameLoop.h"
#include "LanescopeState.h"
#include "MemoryFile.h"
#include "SquareSearchImage.h"
#include "Squares.h"
#include "VideoCapture.h"
#include "VideoWriter.h"

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

/* Runs argv in folder without a display, its output dropped; its wall time in seconds, or -1 on failure. */
double RunChild(const std::vector<std::string>& args, const std::string& folder)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const double start = Now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devNull = open("/dev/null", O_RDWR);
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        unsetenv("DISPLAY");
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Now() - start : -1.0;
}

/* The demo video and its memory in a scratch folder, made once and removed at exit. */
struct DemoFolder
{
    std::string folder;
    std::string processor;
    DemoFolder()
    {
        // The encoder's complaint about the first codec asked for is kept off the output, as the programs do.
        setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0);
        char name[] = "/tmp/windowless_benchXXXXXX";
        folder = mkdtemp(name) ? name : "/tmp";
        const char* frames = std::getenv("LANESCOPE_BENCH_FRAMES");
        RunChild({CV_BENCH_MAKER, "--frames", frames ? frames : "300", "demo.avi"}, folder);
        RunChild({CV_BENCH_TEACHER, "demo.avi", "demo.csv", "am.dat", "--frames", "100", "--every", "10"},
                 folder);
        std::ifstream cpuinfo("/proc/cpuinfo");
        std::string line;
        while (processor.empty() && std::getline(cpuinfo, line))
            if (line.compare(0, 10, "model name") == 0)
                processor = line.substr(line.find(':') + 2);
    }
    ~DemoFolder() { RunChild({"/bin/rm", "-rf", folder}, "/"); }
    std::string Path(const char* name) const { return folder + "/" + name; }
};

const DemoFolder& Demo()
{
    static DemoFolder demo;
    return demo;
}

/* Decodes every frame and turns it upside down, as the grab does; the frames, and the seconds taken. */
std::vector<cv::Mat> Decode(double& seconds)
{
    std::vector<cv::Mat> frames;
    const double start = Now();
    cvcompat::Capture* capture = cvcompat::CreateFileCapture(Demo().Path("demo.avi").c_str());
    while (IplImage* frame = cvcompat::QueryFrame(capture)) {
        cvFlip(frame, nullptr, 0);
        // Kept for the work below; the copy is no part of decoding.
        const double pause = Now();
        frames.push_back(cv::cvarrToMat(frame).clone());
        seconds -= Now() - pause;
    }
    cvcompat::ReleaseCapture(&capture);
    seconds += Now() - start;
    return frames;
}

/* Lanescope's work on every frame: the copy, the grey pipeline, SetImage and the tracking step with its
   drawing, from the memory file as the program reads it (its load report kept off the benchmark's
   output). */
double LanescopeWork(const std::vector<cv::Mat>& frames)
{
    CvAssociativeMemory memory;
    LoadMemoryFile(memory, Demo().Path("am.dat").c_str(), NULL, NULL);
    InitLanescopeState(lanescopeState);
    cv::Mat display(frames[0].size(), CV_8UC3), grey(frames[0].size(), CV_8UC1);
    IplImage displayIpl = cvIplImage(display), greyIpl = cvIplImage(grey);
    const double start = Now();
    for (const cv::Mat& frame : frames) {
        IplImage frameIpl = cvIplImage(frame);
        ProcessFrame(memory, 1, &frameIpl, &displayIpl, &greyIpl);
    }
    return Now() - start;
}

/* Quadfinder's work on every frame: the copy, the grey image, the square search and the drawing. */
double QuadfinderWork(const std::vector<cv::Mat>& frames)
{
    cv::Mat display(frames[0].size(), CV_8UC3), grey(frames[0].size(), CV_8UC1);
    IplImage displayIpl = cvIplImage(display), greyIpl = cvIplImage(grey);
    CvMemStorage* storage = cvCreateMemStorage(0);
    const double start = Now();
    for (const cv::Mat& frame : frames) {
        IplImage frameIpl = cvIplImage(frame);
        cvCopy(&frameIpl, &displayIpl, nullptr);
        PrepareSquareSearchImage(&frameIpl, &greyIpl);
        DrawSquares(&displayIpl, FindSquares(&greyIpl, storage));
        cvClearMemStorage(storage);
    }
    const double seconds = Now() - start;
    cvReleaseMemStorage(&storage);
    return seconds;
}

/* Encodes the frames as a recording is encoded: the codec the programs ask for, then the library's. */
double Encode(const std::vector<cv::Mat>& frames)
{
    const std::string path = Demo().Path("encoded.avi");
    const CvSize size = cvSize(frames[0].cols, frames[0].rows);
    int failure = 0;
    const double start = Now();
    const auto level = cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    cvcompat::VideoWriter* writer = cvcompat::CreateVideoWriter(
        path.c_str(), cvcompat::FourCC('c', 'v', 'i', 'd'), 25.0, size, 1, &failure);
    cv::utils::logging::setLogLevel(level);
    if (!writer)
        writer = cvcompat::CreateVideoWriter(path.c_str(), -1, 25.0, size, 1, &failure);
    for (const cv::Mat& frame : frames) {
        IplImage frameIpl = cvIplImage(frame);
        cvcompat::WriteFrame(writer, &frameIpl);
    }
    cvcompat::ReleaseVideoWriter(&writer, nullptr);
    const double seconds = Now() - start;
    std::remove(path.c_str());
    return seconds;
}

std::string ProgramPath(bool lanescope)
{
    const char* folder = std::getenv("LANESCOPE_BENCH_PROGRAMS");
    if (!folder)
        return lanescope ? CV_BENCH_LANESCOPE : CV_BENCH_QUADFINDER;
    return std::string(folder) + (lanescope ? "/Lanescope" : "/Quadfinder");
}

/* Arguments: the program (0 Lanescope, 1 Quadfinder) and "/r" (0 or 1). */
void BM_WindowlessRun(benchmark::State& state)
{
    const bool lanescope = state.range(0) == 0, record = state.range(1) == 1;
    // The demo is made before anything is timed.
    const DemoFolder& demo = Demo();
    double decode = 0;
    const std::vector<cv::Mat> frames = Decode(decode);
    if (frames.empty()) {
        state.SkipWithError("no demo video");
        return;
    }
    const double work = lanescope ? LanescopeWork(frames) : QuadfinderWork(frames);
    const double encode = record ? Encode(frames) : 0.0;
    double wall = 0;
    for (auto _ : state) {
        // Each run starts from the taught memory: a run saves what it changed.
        RunChild({"/bin/cp", "am.dat", "run.dat"}, Demo().folder);
        std::vector<std::string> run{ProgramPath(lanescope), "demo.avi"};
        if (record)
            run.push_back("/r");
        const double seconds = RunChild(run, Demo().folder);
        RunChild({"/bin/mv", "run.dat", "am.dat"}, Demo().folder);
        if (seconds < 0)
            state.SkipWithError("the program failed");
        state.SetIterationTime(seconds);
        wall += seconds;
    }
    wall /= static_cast<double>(state.iterations());
    state.counters["decode_s"] = decode;
    state.counters["work_s"] = work;
    state.counters["encode_s"] = encode;
    state.counters["ratio"] = wall / (decode + work + encode);
    state.SetLabel(demo.processor);
}
BENCHMARK(BM_WindowlessRun)
    ->ArgNames({"lanescope0_quadfinder1", "record"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);

} // namespace
