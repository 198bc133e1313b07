// LanescopeTeacher: teaches an associative memory the annotated objects of a video, with an area of the
// objects' own size and shape, at the windows of Lanescope's scan that show them (or as clicks on their
// centres in Lanescope's pick mode would), and keeps it in a memory file that Lanescope then reads and
// scans with that area.

#include "Annotations.h"
#include "MemoryFile.h"
#include "MemoryFileFolder.h"
#include "Teaching.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

const char* const USAGE =
    "usage: LanescopeTeacher video.avi boxes am.dat [--frames N] [--every K] [--passes P] [--ids 1,3,...]\n"
    "                        [--type class|id] [--area WxH] [--views scan|centre] [--scales S]\n"
    "                        [--overlap F] [--tries T]\n"
    "  Teaches the objects annotated in boxes, in every K-th of the video's first N frames (default: all),\n"
    "  with a memory of area W x H, then recalls them P times (default 4) so that what recognises them\n"
    "  outlives the pruning before the save, teaches again what the pruning left unrecognised, recalls P\n"
    "  times more, and writes the memory to am.dat. The area is by default the median width and height of\n"
    "  the boxes taught (of those clear of the frame's edge when there are any), each side at least 40 and\n"
    "  at most the frame's; --area 100x100 teaches as Lanescope's own selection does.\n"
    "  --views scan (default): each object clear of the frame's edge is taught at the windows of\n"
    "  Lanescope's scan, at its S nearest scales (default 2), whose reported box overlaps its box at IoU F\n"
    "  or more (default 0.6), and again at up to T areas a pixel round each window (default 9) until the\n"
    "  memory recognises the window there. Objects much narrower or flatter than the area fit no window\n"
    "  so well: --overlap 0.5 teaches them at every window whose recognition would count as finding them.\n"
    "  --views centre: as clicks on the objects' centres would; objects less than half the area wide and\n"
    "  high, or whose area reaches outside the frame, are skipped.\n"
    "  boxes is either TrafficVideoMaker's CSV (frame,id,x,y,width,height with a header, frames from 0)\n"
    "  or MOTChallenge ground truth (frame,id,left,top,width,height,flag,class,visibility, frames from 1,\n"
    "  boxes as a player shows the video; flag 0 boxes are left out); the file's content tells which.\n"
    "  --type: a ground-truth box is taught as the type of its class (default) or of its track id.\n"
    "  --ids: teach only the objects of these ids.\n";

int Usage()
{
    std::fputs(USAGE, stderr);
    return 2;
}

/* A whole number of at least low from text; false when text is anything else. */
bool ParseCount(const char* text, int low, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end || v < low || v > (1 << 30))
        return false;
    value = int(v);
    return true;
}

/* A share above 0 and at most 1 from text; false when text is anything else. */
bool ParseShare(const char* text, double& value)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end || !(v > 0 && v <= 1))
        return false;
    value = v;
    return true;
}

/* A size "WxH" of at least the memory's smallest area from text; false when text is anything else. */
bool ParseArea(const char* text, cv::Size& area)
{
    const char* x = std::strchr(text, 'x');
    if (!x)
        return false;
    const std::string width(text, x);
    return ParseCount(width.c_str(), CV_AM_MIN_AREA_SIDE, area.width) &&
           ParseCount(x + 1, CV_AM_MIN_AREA_SIDE, area.height);
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; i++)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(USAGE, stdout);
            return 0;
        }
    if (argc < 4)
        return Usage();
    CvTeachingBudget budget;
    CvTypeSource source = CvTypeSource::Class;
    for (int i = 4; i < argc; i += 2) {
        if (i + 1 >= argc)
            return Usage();
        const char* option = argv[i];
        const char* value = argv[i + 1];
        bool ok = true;
        if (!std::strcmp(option, "--frames"))
            ok = ParseCount(value, 1, budget.frames);
        else if (!std::strcmp(option, "--every"))
            ok = ParseCount(value, 1, budget.every);
        else if (!std::strcmp(option, "--passes"))
            ok = ParseCount(value, 0, budget.passes);
        else if (!std::strcmp(option, "--area"))
            ok = ParseArea(value, budget.area);
        else if (!std::strcmp(option, "--views") && (!std::strcmp(value, "scan") || !std::strcmp(value, "centre")))
            budget.views = !std::strcmp(value, "scan") ? CvTeachingViews::Scan : CvTeachingViews::Centre;
        else if (!std::strcmp(option, "--scales"))
            ok = ParseCount(value, 1, budget.scales);
        else if (!std::strcmp(option, "--overlap"))
            ok = ParseShare(value, budget.overlap);
        else if (!std::strcmp(option, "--tries"))
            ok = ParseCount(value, 1, budget.tries);
        else if (!std::strcmp(option, "--type") &&
                 (!std::strcmp(value, "class") || !std::strcmp(value, "id")))
            source = !std::strcmp(value, "id") ? CvTypeSource::Track : CvTypeSource::Class;
        else if (!std::strcmp(option, "--ids")) {
            std::stringstream list(value);
            std::string id;
            int number = 0;
            while (ok && std::getline(list, id, ','))
                if ((ok = ParseCount(id.c_str(), 0, number)))
                    budget.ids.insert(number);
        } else
            ok = false;
        if (!ok)
            return Usage();
    }
    const char* videoPath = argv[1];
    const char* boxesPath = argv[2];
    const char* memoryPath = argv[3];

    cv::VideoCapture video;
    if (!OpenVideo(video, videoPath)) {
        std::fprintf(stderr, "LanescopeTeacher: cannot read the video %s\n", videoPath);
        return 1;
    }
    const cv::Size frame(int(video.get(cv::CAP_PROP_FRAME_WIDTH)), int(video.get(cv::CAP_PROP_FRAME_HEIGHT)));
    video.release();
    // No area of the memory could be taught, nor scanned, in frames smaller than itself.
    if (budget.area.width > frame.width || budget.area.height > frame.height) {
        std::fprintf(stderr, "LanescopeTeacher: the area %dx%d is larger than the video's %dx%d frames\n",
                     budget.area.width, budget.area.height, frame.width, frame.height);
        return 1;
    }
    CvAnnotations annotations;
    std::string error;
    if (!ReadAnnotations(boxesPath, frame.height, source, annotations, error)) {
        std::fprintf(stderr, "LanescopeTeacher: %s\n", error.c_str());
        return 1;
    }

    // Taken before the teaching, which would be lost time if the save could not follow; held to the end.
    CvMemoryFileLock lock;
    if (LockMemoryFile(lock, memoryPath) == CV_MF_IN_USE) {
        std::fprintf(stderr,
                     "LanescopeTeacher: %s is in use by a Lanescope run or another LanescopeTeacher; nothing "
                     "was written\n",
                     memoryPath);
        return 1;
    }
    CvAssociativeMemory memory;
    CvTeachingReport report;
    if (!TeachFromVideo(memory, videoPath, annotations, budget, report)) {
        std::fprintf(stderr, "LanescopeTeacher: cannot read the video %s\n", videoPath);
        return 1;
    }
    const CvAreaChoice& area = report.area;
    if (!budget.area.empty())
        std::printf("Area %dx%d, as given\n", area.area.width, area.area.height);
    else if (!area.median.empty())
        std::printf("Area %dx%d: the taught boxes' median %dx%d, each side within %d and the frame's\n",
                    area.area.width, area.area.height, area.median.width, area.median.height,
                    CV_AM_MIN_AREA_SIDE);
    for (const auto& t : report.byType)
        if (budget.views == CvTeachingViews::Scan)
            std::printf("Type%d: taught %d areas, skipped %d boxes cut by the frame's edge and %d that no window "
                        "of the scan fits\n",
                        t.first, t.second.taught, t.second.outside, t.second.unfitted);
        else
            std::printf("Type%d: taught %d areas, skipped %d outside the frame and %d too small\n", t.first,
                        t.second.taught, t.second.outside, t.second.tooSmall);
    if (report.Taught() == 0) {
        int unfitted = 0;
        for (const auto& t : report.byType)
            unfitted += t.second.unfitted;
        if (unfitted > 0)
            std::fprintf(stderr, "LanescopeTeacher: %d boxes fit no window of the scan at IoU %g; --overlap 0.5 "
                         "teaches them at every window that would find them\n", unfitted, budget.overlap);
        std::fprintf(stderr, "LanescopeTeacher: no annotated area could be taught; %s is left as it was\n",
                     memoryPath);
        return 1;
    }
    // The save prunes the same way; pruning first tells whether anything of the teaching would be kept.
    memory.root->Prune();
    if (memory.context.baseCount <= 1) {
        std::fprintf(stderr,
                     "LanescopeTeacher: no taught base was used often enough to be kept (teach more frames "
                     "or passes); %s is left as it was\n",
                     memoryPath);
        return 1;
    }
    std::string failure;
    SaveMemoryFile(memory, memoryPath, &failure);
    if (!failure.empty()) {
        std::fprintf(stderr, "LanescopeTeacher: cannot write %s (%s); %s is left as it was\n", memoryPath,
                     failure.c_str(), memoryPath);
        return 1;
    }
    std::printf("taught %d areas of %dx%d, and %d again after pruning; %d bases kept in %s\n",
                report.Taught(), area.area.width, area.area.height, report.retaught, memory.context.baseCount,
                memoryPath);
    return 0;
}
