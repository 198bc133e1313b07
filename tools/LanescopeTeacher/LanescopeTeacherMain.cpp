// LanescopeTeacher: trains an associative memory on the objects of a synthetic video the way Lanescope's
// training frames do, and keeps it in a memory file that Lanescope then reads.
//
//   LanescopeTeacher video.avi boxes.csv am.dat [--frames N] [--every K] [--ids 1,3,...]
//
// video.avi and boxes.csv come from TrafficVideoMaker. For every K-th of the first N frames (default: all
// frames, K = 1) each listed object (default: all) that is wholly inside the frame is taught under its id
// as type: the frame is turned upside down, made grey by Lanescope's pipeline, and the 100 x 100 area
// centred on the object's box is written and read back, as a click on it in pick mode would.

#include "CvAssociativeMemory.h"
#include "GreyPipeline.h"
#include "LanescopeState.h"
#include "MemoryFile.h"

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Box
{
    int id;
    cv::Rect rect;
};

/* The boxes of the CSV, by frame; empty when the file cannot be read. */
std::map<int, std::vector<Box>> ReadBoxes(const char* path)
{
    std::map<int, std::vector<Box>> boxes;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        int frame, id, x, y, w, h;
        if (std::sscanf(line.c_str(), "%d,%d,%d,%d,%d,%d", &frame, &id, &x, &y, &w, &h) == 6)
            boxes[frame].push_back(Box{id, cv::Rect(x, y, w, h)});
    }
    return boxes;
}

int Usage()
{
    std::fprintf(stderr, "usage: LanescopeTeacher video.avi boxes.csv am.dat [--frames N] [--every K] "
                         "[--ids 1,3,...]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    int frames = 1 << 30, every = 1;
    std::set<int> ids;
    for (int i = 4; i < argc; i++) {
        if (i + 1 >= argc)
            return Usage();
        if (!std::strcmp(argv[i], "--frames"))
            frames = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--every"))
            every = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--ids")) {
            std::stringstream list(argv[++i]);
            std::string id;
            while (std::getline(list, id, ','))
                ids.insert(std::atoi(id.c_str()));
        } else
            return Usage();
    }
    const std::map<int, std::vector<Box>> boxes = ReadBoxes(argv[2]);
    cv::VideoCapture video(std::string("file:") + argv[1], cv::CAP_FFMPEG);
    if (!video.isOpened() || boxes.empty()) {
        std::fprintf(stderr, "cannot read %s or %s\n", argv[1], argv[2]);
        return 1;
    }

    CvAssociativeMemory memory;
    memory.Create(CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT, 0);
    cv::Mat frame, grey;
    int taught = 0;
    for (int k = 0; k < frames && video.read(frame); k++) {
        if (k % every != 0 || !boxes.count(k))
            continue;
        cv::flip(frame, frame, 0);
        grey.create(frame.size(), CV_8UC1);
        IplImage frameIpl = cvIplImage(frame), greyIpl = cvIplImage(grey);
        PrepareGreyImage(&frameIpl, &greyIpl);
        memory.SetImage(&greyIpl);
        for (const Box& b : boxes.at(k)) {
            if (!ids.empty() && !ids.count(b.id))
                continue;
            const CvRect area = cvRect(b.rect.x + b.rect.width / 2 - CV_LS_SELECTION_WIDTH / 2,
                                       b.rect.y + b.rect.height / 2 - CV_LS_SELECTION_HEIGHT / 2,
                                       CV_LS_SELECTION_WIDTH, CV_LS_SELECTION_HEIGHT);
            // Objects cut by the frame's edge are left out: their visible part is not what they look like.
            if (area.x < 0 || area.y < 0 || area.x + area.width > frame.cols ||
                area.y + area.height > frame.rows)
                continue;
            memory.Write(area, &b.id);
            memory.Read(area);
            taught++;
        }
    }
    SaveMemoryFile(memory, argv[3]);
    std::printf("taught %d areas; %d bases kept in %s\n", taught, memory.context.baseCount, argv[3]);
    return 0;
}
