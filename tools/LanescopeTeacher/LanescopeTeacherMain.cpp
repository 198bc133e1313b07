// LanescopeTeacher: teaches an associative memory the annotated objects of a video, the way clicks on
// their centres in Lanescope's pick mode would, and keeps it in a memory file that Lanescope then reads.

#include "Annotations.h"
#include "MemoryFile.h"
#include "Teaching.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

const char* const USAGE =
    "usage: LanescopeTeacher video.avi boxes am.dat [--frames N] [--every K] [--passes P] [--ids 1,3,...]\n"
    "                        [--type class|id]\n"
    "  Teaches the objects annotated in boxes, in every K-th of the video's first N frames (default: all),\n"
    "  as clicks on their centres would, then recalls them P times (default 4) through the windows of\n"
    "  Lanescope's scan so that what recognises them outlives the pruning before the save, teaches again\n"
    "  what the pruning left unrecognised, recalls P times more, and writes the memory to am.dat.\n"
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
    CvAnnotations annotations;
    std::string error;
    if (!ReadAnnotations(boxesPath, int(video.get(cv::CAP_PROP_FRAME_HEIGHT)), source, annotations, error)) {
        std::fprintf(stderr, "LanescopeTeacher: %s\n", error.c_str());
        return 1;
    }
    video.release();

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
    for (const auto& t : report.byType)
        std::printf("Type%d: taught %d areas, skipped %d outside the frame and %d too small\n", t.first,
                    t.second.taught, t.second.outside, t.second.tooSmall);
    if (report.Taught() == 0) {
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
    std::printf("taught %d areas, and %d again after pruning; %d bases kept in %s\n", report.Taught(),
                report.retaught, memory.context.baseCount, memoryPath);
    return 0;
}
