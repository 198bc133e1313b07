// TeachingStudy: measures how well a taught memory serves tracking on frames it was not taught from. It
// loads the memory file as Lanescope does, tracks frames first..last of the video with Lanescope's grey
// pipeline and tracking settings, scores the tracks against MOTChallenge ground truth, and prints
// "MOTA m IDF1 i ms t bases b work_ms w", t being the mean processor time of one tracking step on this
// thread and w the mean time that passes for a frame's whole work after decoding (turning it upside down,
// the grey pipeline and the tracking step on every thread it uses), as the peers' times are taken.
//
//   TeachingStudy video.avi video_gt.txt am.dat [first [last]]      (defaults: frames 101 to 300)

#include "FileRows.h"
#include "LanescopeSettings.h"
#include "MemoryFile.h"
#include "Teaching.h"
#include "TrackingEval.h"

#include <opencv2/core.hpp>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

/* What the event function records while one frame is tracked. */
struct Recorder
{
    int frame = 0;             /* the frame's number in the file, 1 upwards */
    int frameHeight = 0;       /* rows of the frame, to turn boxes back into the file's coordinates */
    int nextId = 1;            /* the id the next new track gets */
    std::vector<MotBox> boxes; /* every tracked box so far */
};

/* Records each live track with the id its user block holds; a track without a block is new and gets one,
   which the tracker frees with operator delete when it drops the track. */
void RecordTrack(int event, int* type, CvAMObjectInfo* info, void* userPointer)
{
    if (event != CV_AM_TRACKED || !info || !info->userSlot)
        return;
    Recorder& r = *static_cast<Recorder*>(userPointer);
    if (!*info->userSlot) {
        int* id = static_cast<int*>(operator new(sizeof(int)));
        *id = r.nextId++;
        *info->userSlot = id;
    }
    const CvRect b = info->rect;
    MotBox box;
    box.frame = r.frame;
    box.id = *static_cast<int*>(*info->userSlot);
    box.box = cv::Rect2d(b.x, FlippedTop(b.y, b.height, r.frameHeight), b.width, b.height);
    box.type = type ? *type : -1;
    r.boxes.push_back(box);
}

/* Processor time of this thread in milliseconds: unlike the clock, it leaves out the time other programs
   on a busy machine take. */
double ThreadMs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: TeachingStudy video.avi video_gt.txt am.dat [first [last]]\n");
        return 2;
    }
    ScoreOptions options;
    options.firstFrame = argc > 4 ? std::atoi(argv[4]) : 101;
    options.lastFrame = argc > 5 ? std::atoi(argv[5]) : 300;
    std::vector<MotBox> truth;
    std::string error;
    CvAssociativeMemory memory;
    cv::VideoCapture video;
    if (!ReadMotFile(argv[2], MotFileKind::GroundTruth, truth, error) || !LoadMemoryFile(memory, argv[3]) ||
        !OpenVideo(video, argv[1])) {
        std::fprintf(stderr, "TeachingStudy: cannot use %s, %s or %s %s\n", argv[1], argv[2], argv[3],
                     error.c_str());
        return 1;
    }
    Recorder recorder;
    cv::Mat frame, grey;
    double ms = 0, workSeconds = 0;
    int tracked = 0;
    for (int number = 1; number <= options.lastFrame && video.grab(); number++) {
        if (number < options.firstFrame || !video.retrieve(frame))
            continue;
        const int64 work = cv::getTickCount();
        SetDecodedFrame(memory, frame, grey);
        recorder.frame = number;
        recorder.frameHeight = frame.rows;
        const double start = ThreadMs();
        memory.ObjectTracking(RecordTrack, &recorder, CV_LS_LEARNING, CV_LS_LEARNING_CEILING,
                              CV_LS_ACCEPTANCE_FLOOR);
        ms += ThreadMs() - start;
        workSeconds += double(cv::getTickCount() - work) / cv::getTickFrequency();
        tracked++;
    }
    const TrackingScores s = ScoreTracks(truth, recorder.boxes, options);
    std::printf("MOTA %.3f IDF1 %.3f ms %.2f bases %d work_ms %.2f\n", s.mota, s.idf1,
                tracked ? ms / tracked : 0.0, memory.context.baseCount, tracked ? 1000 * workSeconds / tracked : 0.0);
    return 0;
}
