// TruthSheet: draws ground truth on the frames of its video, to check every box by eye and to read box
// coordinates off a labelled grid.
//
//   TruthSheet video.avi out_ [--truth gt.txt] [--frames LIST] [--grid N] [--crop X,Y,W,H] [--scale S]
//   TruthSheet video.avi out_ --truth gt.txt --person ID [--frames LIST]
//
// The first form writes out_0001.png and so on, one frame sheet per frame listed (default: the frames of
// the truth's boxes); the second writes out_personID.png, the strip of that person's boxes. Exits 1 when
// the video, the truth or a picture cannot be read or written, 2 on a wrong command line.

#include "TruthPictures.h"
#include "VideoCapture.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: TruthSheet video.avi out_ [--truth gt.txt] [--frames LIST] [--grid N] [--crop X,Y,W,H]\n"
                 "                  [--scale S] [--person ID]\n"
                 "  writes out_NNNN.png for each frame of LIST (items A, A-B or A-B/STEP, frames from 1; default\n"
                 "  the frames of the truth) with the truth's boxes, a grid every N pixels (default none), the\n"
                 "  area X,Y,W,H of the frame enlarged S times (default the whole frame, 1); with --person,\n"
                 "  out_personID.png instead: every box of that id in the frames listed, side by side\n");
    return 2;
}

/* Adds the frames of list ("1-300/5,42") to frames; false when it is not such a list. */
bool ReadFrameList(const char* list, std::set<int>& frames)
{
    for (const char* item = list; *item;) {
        int first = 0, last = 0, step = 1, used = 0;
        if (std::sscanf(item, "%d-%d/%d%n", &first, &last, &step, &used) != 3 &&
            (step = 1, std::sscanf(item, "%d-%d%n", &first, &last, &used)) != 2 &&
            (last = first = 0, std::sscanf(item, "%d%n", &first, &used)) == 1)
            last = first;
        if (used == 0 || first < 1 || last < first || step < 1 || last > 10000000)
            return false;
        for (int f = first; f <= last; f += step)
            frames.insert(f);
        item += used;
        if (*item != ',' && *item != '\0')
            return false;
        item += *item == ',';
    }
    return !frames.empty();
}

/* What the command line asks for. */
struct Request
{
    std::string video, prefix, truthPath;
    std::set<int> frames; /* frames to draw, empty for those of the truth */
    SheetView view;
    int person = 0;       /* the id of a person strip, 0 for frame sheets */
};

bool ReadRequest(int argc, char** argv, Request& r)
{
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        cv::Rect& c = r.view.crop;
        const bool known = value && (!std::strcmp(a, "--frames") || !std::strcmp(a, "--truth") ||
                                     !std::strcmp(a, "--grid") || !std::strcmp(a, "--crop") ||
                                     !std::strcmp(a, "--scale") || !std::strcmp(a, "--person"));
        if (a[0] == '-' && !known)
            return false;
        if (a[0] != '-') {
            if (!r.prefix.empty())
                return false;
            (r.video.empty() ? r.video : r.prefix) = a;
            continue;
        }
        ++i;
        if ((!std::strcmp(a, "--frames") && !ReadFrameList(value, r.frames)) ||
            (!std::strcmp(a, "--grid") && (std::sscanf(value, "%d", &r.view.grid) != 1 || r.view.grid < 0)) ||
            (!std::strcmp(a, "--crop") && std::sscanf(value, "%d,%d,%d,%d", &c.x, &c.y, &c.width, &c.height) != 4) ||
            (!std::strcmp(a, "--scale") &&
             (std::sscanf(value, "%lf", &r.view.scale) != 1 || !(r.view.scale > 0 && r.view.scale <= 16))) ||
            (!std::strcmp(a, "--person") && (std::sscanf(value, "%d", &r.person) != 1 || r.person < 1)))
            return false;
        if (!std::strcmp(a, "--truth"))
            r.truthPath = value;
    }
    return !r.prefix.empty() && (!r.truthPath.empty() || (!r.frames.empty() && r.person == 0));
}

/* The boxes of path by frame, those of one person only when person is not 0; false, with a message, when
   the file is refused. */
bool ReadBoxesByFrame(const std::string& path, cv::Size frameSize, int person,
                      std::map<int, std::vector<TruthBox>>& byFrame)
{
    std::ifstream in(path);
    std::vector<TruthBox> boxes;
    std::string error = in ? "" : "cannot open";
    if (!in || !ReadTruthBoxes(in, frameSize, boxes, error)) {
        std::fprintf(stderr, "TruthSheet: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    for (const TruthBox& b : boxes)
        if (person == 0 || b.id == person)
            byFrame[b.frame].push_back(b);
    return true;
}

bool Write(const std::string& path, const cv::Mat& picture)
{
    if (!picture.empty() && cv::imwrite(path, picture))
        return true;
    std::fprintf(stderr, "TruthSheet: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    Request r;
    if (!ReadRequest(argc, argv, r))
        return Usage();

    cv::VideoCapture capture(cvcompat::FileUrl(r.video.c_str()), cv::CAP_FFMPEG);
    const cv::Size size(int(capture.get(cv::CAP_PROP_FRAME_WIDTH)), int(capture.get(cv::CAP_PROP_FRAME_HEIGHT)));
    if (!capture.isOpened() || size.area() == 0) {
        std::fprintf(stderr, "TruthSheet: %s: cannot open the video\n", r.video.c_str());
        return 1;
    }
    const cv::Rect whole(cv::Point(), size);
    if (r.view.crop.area() == 0)
        r.view.crop = whole;
    if ((r.view.crop & whole) != r.view.crop) {
        std::fprintf(stderr, "TruthSheet: the crop area lies outside the %d x %d frame\n", size.width, size.height);
        return 1;
    }
    std::map<int, std::vector<TruthBox>> byFrame;
    if (!r.truthPath.empty() && !ReadBoxesByFrame(r.truthPath, size, r.person, byFrame))
        return 1;
    if (r.frames.empty())
        for (const auto& entry : byFrame)
            r.frames.insert(entry.first);
    if (r.frames.empty()) {
        std::fprintf(stderr, "TruthSheet: %s holds no box%s to draw\n", r.truthPath.c_str(),
                     r.person > 0 ? (" of id " + std::to_string(r.person)).c_str() : "");
        return 1;
    }

    std::vector<cv::Mat> tiles;
    cv::Mat frame;
    int number = 0;
    for (const int wanted : r.frames) {
        while (number < wanted && capture.read(frame))
            ++number;
        if (number < wanted)
            break;
        char name[32];
        std::snprintf(name, sizeof name, "%04d.png", number);
        if (r.person > 0) {
            for (const TruthBox& b : byFrame[number])
                tiles.push_back(DrawStripTile(frame, b));
        } else if (!Write(r.prefix + name, DrawFrameSheet(frame, number, r.view, byFrame[number]))) {
            return 1;
        }
    }
    if (number < *r.frames.rbegin())
        std::fprintf(stderr, "TruthSheet: %s has only %d frames\n", r.video.c_str(), number);
    if (r.person > 0 && !Write(r.prefix + "person" + std::to_string(r.person) + ".png", LayOutTiles(tiles, 9)))
        return 1;
    return number < *r.frames.rbegin() ? 1 : 0;
}
