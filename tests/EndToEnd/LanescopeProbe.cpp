// LanescopeProbe: reads back what Lanescope did from its recorded video, for the end-to-end scenarios.
//
//   LanescopeProbe summary recorded.avi      one line per frame: "FRAME green=X,Y red=X,Y label=TypeN
//                                            diff=D changed=P time=0|1 track=0|1" (- where nothing was found)
//   LanescopeProbe same a.avi b.avi          exit 0 when both show the same drawings below the step time
//   LanescopeProbe tracks recorded.avi t.txt exit 0 when the tracks file says what the recording shows
//   LanescopeProbe trained input.avi         data bytes of a fresh memory after the first training frame
//
// green and red are the top-left corners of the pick-mode and training rectangles (a row of at least 90
// pixels of the colour); label is the type label under the green rectangle that matches best; diff is
// the mean grey difference to the previous frame below the step time's rows and changed the percentage of
// those pixels that differ from it at all; time tells whether the
// step time is shown, track whether a track's path (cyan) is.

#include "CvAssociativeMemory.h"
#include "GreyPipeline.h"
#include "LanescopeState.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/imgproc_c.h>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

/* Rows at the top that hold the step time, which differs from run to run. */
const int CV_PROBE_TIME_ROWS = 32;
/* Drawn pixels two frames may differ in and still show the same drawings: the step time changes the
   size of each recorded frame, and with it the Motion JPEG encoder's quantiser for the next one, which
   moves a few edge pixels across the colour thresholds. */
const int CV_PROBE_SAME_PIXELS = 40;

/* Pixels of one drawing colour, within what Motion JPEG leaves of it. */
cv::Mat Mask(const cv::Mat& frame, char colour)
{
    cv::Mat mask;
    switch (colour) {
    case 'g':
        cv::inRange(frame, cv::Scalar(0, 170, 0), cv::Scalar(110, 255, 110), mask);
        break;
    case 'r':
        cv::inRange(frame, cv::Scalar(0, 0, 170), cv::Scalar(110, 110, 255), mask);
        break;
    case 'b':
        cv::inRange(frame, cv::Scalar(220, 0, 0), cv::Scalar(255, 60, 60), mask);
        break;
    case 'c':
        cv::inRange(frame, cv::Scalar(170, 170, 0), cv::Scalar(255, 255, 90), mask);
        break;
    default:
        cv::inRange(frame, cv::Scalar(0, 160, 160), cv::Scalar(120, 255, 255), mask);
        break;
    }
    return mask;
}

/* Top-left corner of the first row (below the step time) with a run of at least 90 mask pixels. */
bool FindRectangle(const cv::Mat& mask, cv::Point* corner)
{
    for (int y = CV_PROBE_TIME_ROWS; y < mask.rows; y++) {
        int run = 0;
        for (int x = 0; x < mask.cols; x++) {
            run = mask.at<uchar>(y, x) ? run + 1 : 0;
            if (run >= 90) {
                *corner = cv::Point(x - run + 1, y);
                return true;
            }
        }
    }
    return false;
}

/* The type label whose drawing under the rectangle at corner best matches the frame's yellow pixels. */
int MatchLabel(const cv::Mat& frame, cv::Point corner)
{
    static CvLanescopeState state;
    static bool made = false;
    if (!made) {
        InitLanescopeState(state);
        made = true;
    }
    const cv::Rect area = cv::Rect(corner.x, corner.y + 90, 220, 50) & cv::Rect(0, 0, frame.cols, frame.rows);
    if (area.empty())
        return 0;
    const cv::Mat seen = Mask(frame(area), 'y');
    // While picking, frame after frame shows the same label: match it once.
    static cv::Mat lastSeen;
    static cv::Rect lastArea;
    static int lastBest = 0;
    if (area == lastArea && cv::countNonZero(seen != lastSeen) == 0)
        return lastBest;
    int best = 0;
    double bestScore = 0.0;
    cv::Mat drawn(area.size(), CV_8UC1);
    for (int type = 1; type <= CV_LS_TYPE_COUNT; type++) {
        drawn.setTo(0);
        IplImage drawnIpl = cvIplImage(drawn);
        cvPutText(&drawnIpl, state.typeLabels[type - 1],
                  cvPoint(corner.x + 10 - area.x, corner.y + 100 + 24 - area.y), &state.font,
                  cvScalarAll(255));
        const double both = cv::countNonZero(drawn & seen), either = cv::countNonZero(drawn | seen);
        const double score = either > 0 ? both / either : 0.0;
        if (score > bestScore) {
            bestScore = score;
            best = type;
        }
    }
    lastSeen = seen.clone();
    lastArea = area;
    lastBest = bestScore > 0.5 ? best : 0;
    return lastBest;
}

/* Percentage of the pixels below the step time that differ at all: nearly all when the video runs (its
   noise changes every block), few when a frame is shown again with other drawings. */
double ChangedPercent(const cv::Mat& a, const cv::Mat& b)
{
    const cv::Rect below(0, CV_PROBE_TIME_ROWS, a.cols, a.rows - CV_PROBE_TIME_ROWS);
    cv::Mat difference, grey;
    cv::absdiff(a(below), b(below), difference);
    cv::cvtColor(difference, grey, cv::COLOR_BGR2GRAY);
    return 100.0 * cv::countNonZero(grey) / below.area();
}

double MeanDifference(const cv::Mat& a, const cv::Mat& b)
{
    const cv::Rect below(0, CV_PROBE_TIME_ROWS, a.cols, a.rows - CV_PROBE_TIME_ROWS);
    return cv::norm(a(below), b(below), cv::NORM_L1) / double(below.area() * 3);
}

int Summary(const char* path)
{
    cv::VideoCapture video(std::string("file:") + path, cv::CAP_FFMPEG);
    cv::Mat f, previous;
    size_t i = 0;
    for (; video.read(f); i++) {
        cv::Point green, red;
        const bool hasGreen = FindRectangle(Mask(f, 'g'), &green);
        const bool hasRed = FindRectangle(Mask(f, 'r'), &red);
        const int label = hasGreen ? MatchLabel(f, green) : 0;
        const bool time = cv::countNonZero(Mask(f, 'g')(cv::Rect(0, 0, std::min(150, f.cols), 30))) > 20;
        const cv::Rect below(0, CV_PROBE_TIME_ROWS, f.cols, f.rows - CV_PROBE_TIME_ROWS);
        const bool tracked = cv::countNonZero(Mask(f, 'c')(below)) > 30;
        std::printf("%zu green=%s red=%s label=%s diff=%.2f changed=%.0f time=%d track=%d\n", i,
                    hasGreen ? (std::to_string(green.x) + "," + std::to_string(green.y)).c_str() : "-",
                    hasRed ? (std::to_string(red.x) + "," + std::to_string(red.y)).c_str() : "-",
                    label ? ("Type" + std::to_string(label)).c_str() : "-",
                    i ? MeanDifference(f, previous) : 0.0, i ? ChangedPercent(f, previous) : 100.0,
                    time ? 1 : 0, tracked ? 1 : 0);
        f.copyTo(previous);
    }
    return i == 0 ? 1 : 0;
}

/* Pixels of the drawing colours (track boxes, paths, labels, circles) below the step time that one frame
   has and the other lacks even one pixel away. */
int DrawingDifference(const cv::Mat& a, const cv::Mat& b)
{
    const cv::Rect below(0, CV_PROBE_TIME_ROWS, a.cols, a.rows - CV_PROBE_TIME_ROWS);
    int missing = 0;
    for (char colour : {'b', 'c', 'y', 'g'}) {
        const cv::Mat x = Mask(a(below), colour), y = Mask(b(below), colour);
        cv::Mat nearX, nearY;
        cv::dilate(x, nearX, cv::Mat());
        cv::dilate(y, nearY, cv::Mat());
        missing += cv::countNonZero(x & ~nearY) + cv::countNonZero(y & ~nearX);
    }
    return missing;
}

int Same(const char* a, const char* b)
{
    cv::VideoCapture first(std::string("file:") + a, cv::CAP_FFMPEG),
        second(std::string("file:") + b, cv::CAP_FFMPEG);
    cv::Mat x, y;
    size_t count = 0, worstFrame = 0;
    int worst = 0;
    bool firstRead = false, secondRead = false;
    for (;;) {
        firstRead = first.read(x);
        secondRead = second.read(y);
        if (!firstRead || !secondRead)
            break;
        const int difference = DrawingDifference(x, y);
        if (difference > worst) {
            worst = difference;
            worstFrame = count;
        }
        count++;
    }
    std::printf("%zu frames%s; at most %d drawn pixels differ (frame %zu)\n", count,
                firstRead != secondRead ? " and one video is longer" : "", worst, worstFrame);
    return count > 0 && firstRead == secondRead && worst <= CV_PROBE_SAME_PIXELS ? 0 : 1;
}

/* Checks a tracks file against the recording: every line is "frame,id,left,top,width,height,confidence,
   type,-1,-1" with frames from 1 in order, each id on one unbroken run of frames under one type (the run
   only tracks), and the boxes, turned upside down as the recording is, are the blue boxes drawn in it. */
int Tracks(const char* path, const char* tracksPath)
{
    cv::VideoCapture video(std::string("file:") + path, cv::CAP_FFMPEG);
    std::FILE* file = std::fopen(tracksPath, "r");
    if (!file || !video.isOpened())
        return 1;
    const int height = int(video.get(cv::CAP_PROP_FRAME_HEIGHT));
    std::map<int, std::vector<cv::Rect>> boxes;
    std::map<int, std::pair<int, int>> seen; // by id: the last frame and the type
    int failures = 0, frame, id, x, top, w, h, type, end1, end2;
    double confidence;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        const bool ok = std::sscanf(line, "%d,%d,%d,%d,%d,%d,%lf,%d,%d,%d", &frame, &id, &x, &top, &w, &h,
                                    &confidence, &type, &end1, &end2) == 10 &&
                        end1 == -1 && end2 == -1 && frame > 0 &&
                        (boxes.empty() || frame >= boxes.rbegin()->first) && id > 0 && type >= 1 &&
                        type <= CV_LS_TYPE_COUNT &&
                        (!seen.count(id) || seen[id] == std::make_pair(frame - 1, type));
        seen[id] = {frame, type};
        boxes[frame].push_back(cv::Rect(x, height - top - h, w, h));
        if (!ok)
            std::printf("bad line or id reused: %s", line);
        failures += !ok;
    }
    std::fclose(file);
    if (boxes.empty())
        return 1;
    cv::Mat f;
    int i = 1;
    for (; video.read(f); i++) {
        cv::Mat blue = Mask(f, 'b'), nearBlue, drawn = cv::Mat::zeros(f.size(), CV_8UC1);
        cv::dilate(blue, nearBlue, cv::Mat(), cv::Point(-1, -1), 1);
        for (const cv::Rect& r : boxes[i]) {
            cv::Mat outline = cv::Mat::zeros(f.size(), CV_8UC1);
            cv::rectangle(outline, r.tl(), r.br(), 255, 2);
            drawn |= outline;
            // Other tracks' labels and paths are drawn over parts of a box.
            failures += cv::countNonZero(outline & nearBlue) < 0.8 * cv::countNonZero(outline);
        }
        cv::dilate(drawn, drawn, cv::Mat(), cv::Point(-1, -1), 2);
        failures += cv::countNonZero(blue & ~drawn) > 30; // a drawn box that the file lacks
    }
    std::printf("tracks up to frame %d in %d recorded frames, %d failures\n", boxes.rbegin()->first, i - 1,
                failures);
    return failures == 0 && boxes.rbegin()->first < i ? 0 : 1;
}

int Trained(const char* path)
{
    cv::VideoCapture video(std::string("file:") + path, cv::CAP_FFMPEG);
    cv::Mat frame;
    if (!video.read(frame))
        return 1;
    cv::flip(frame, frame, 0);
    cv::Mat grey(frame.size(), CV_8UC1);
    IplImage frameIpl = cvIplImage(frame), greyIpl = cvIplImage(grey);
    PrepareGreyImage(&frameIpl, &greyIpl);
    CvAssociativeMemory memory;
    memory.Create(CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT, 0);
    memory.SetImage(&greyIpl);
    const int type = 1;
    memory.Write(cvRect(CV_LS_SELECTION_X, CV_LS_SELECTION_Y, CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT),
                 &type);
    std::printf("%d\n", memory.context.dataSize);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "summary"))
        return Summary(argv[2]);
    if (argc == 4 && !std::strcmp(argv[1], "same"))
        return Same(argv[2], argv[3]);
    if (argc == 4 && !std::strcmp(argv[1], "tracks"))
        return Tracks(argv[2], argv[3]);
    if (argc == 3 && !std::strcmp(argv[1], "trained"))
        return Trained(argv[2]);
    std::fprintf(stderr,
                 "usage: LanescopeProbe summary recorded.avi | same a.avi b.avi | tracks recorded.avi "
                 "tracks.txt | trained input.avi\n");
    return 2;
}
