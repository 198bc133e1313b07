// KeyFrameTruth: makes the full ground truth of a video from boxes annotated by hand at key frames.
//
//   KeyFrameTruth keys.txt --size WxH > gt.txt
//
// Prints every box of the keys' trajectories, the frames between key frames filled along straight lines.
// Exits 1 when the keys are refused (the message names the line), 2 on a wrong command line.

#include "KeyFrames.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

static int Usage()
{
    std::fprintf(stderr,
                 "usage: KeyFrameTruth keys.txt --size WxH\n"
                 "  prints the ground truth (frame,id,left,top,width,height,flag,class,visibility) that the\n"
                 "  key-frame boxes of keys.txt make, every box within a picture of W x H pixels\n");
    return 2;
}

int main(int argc, char** argv)
{
    std::string path;
    cv::Size size;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--size") && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &size.width, &size.height) != 2)
                return Usage();
        } else if (argv[i][0] == '-' || !path.empty()) {
            return Usage();
        } else {
            path = argv[i];
        }
    }
    if (path.empty() || size.width < 1 || size.height < 1)
        return Usage();

    std::ifstream in(path);
    std::vector<TruthBox> keys;
    std::string error = in ? "" : "cannot open";
    if (in && ReadTruthBoxes(in, size, keys, error) && keys.empty())
        error = "holds no box";
    if (!error.empty()) {
        std::fprintf(stderr, "KeyFrameTruth: %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    std::fputs(TruthText(InterpolateKeys(keys)).c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
