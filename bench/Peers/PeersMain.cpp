// PeerTrackers: runs the peers' methods over a video and writes their tracks in the MOTChallenge results
// layout, timing each method.
//
//   PeerTrackers video.avi truth_gt.txt prefix [--methods kcf,csrt,mog2] [--min-area PIXELS]
//
// Writes prefix_kcf.txt, prefix_csrt.txt and prefix_mog2.txt ("frame,id,left,top,width,height,1,type,-1,-1"
// in the video file's coordinates) and prints, per method, the milliseconds per frame that its own work
// took (decoding excluded), then the milliseconds per frame of decoding.

#include "PeerTrackers.h"

#include <opencv2/videoio.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: PeerTrackers video.avi truth_gt.txt prefix [--methods kcf,csrt,mog2] "
                         "[--min-area PIXELS]\n");
    return 2;
}

/* One method under measurement. */
struct Measured
{
    std::string name;                   /* kcf, csrt or mog2 */
    std::unique_ptr<PeerMethod> method; /* the method */
    std::FILE* out = nullptr;           /* its tracks file */
    double seconds = 0;                 /* time spent in the method */
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    std::string methods = "kcf,csrt,mog2";
    int minArea = 400;
    for (int i = 4; i < argc; ++i) {
        if (i + 1 >= argc)
            return Usage();
        if (!std::strcmp(argv[i], "--methods"))
            methods = argv[++i];
        else if (!std::strcmp(argv[i], "--min-area"))
            minArea = std::atoi(argv[++i]);
        else
            return Usage();
    }
    std::vector<MotBox> truth;
    std::string error;
    if (!ReadMotFile(argv[2], MotFileKind::GroundTruth, truth, error)) {
        std::fprintf(stderr, "PeerTrackers: %s\n", error.c_str());
        return 1;
    }
    std::vector<Measured> measured;
    std::stringstream list(methods);
    std::string name;
    while (std::getline(list, name, ',')) {
        Measured m;
        m.name = name;
        if (name == "kcf")
            m.method = MakeSingleObjectPeer(PeerKind::Kcf, truth);
        else if (name == "csrt")
            m.method = MakeSingleObjectPeer(PeerKind::Csrt, truth);
        else if (name == "mog2")
            m.method = MakeBackgroundPeer(minArea);
        else
            return Usage();
        const std::string path = std::string(argv[3]) + "_" + name + ".txt";
        m.out = std::fopen(path.c_str(), "w");
        if (!m.out) {
            std::fprintf(stderr, "PeerTrackers: cannot write %s\n", path.c_str());
            return 1;
        }
        measured.push_back(std::move(m));
    }
    cv::VideoCapture video(std::string("file:") + argv[1], cv::CAP_FFMPEG);
    if (!video.isOpened()) {
        std::fprintf(stderr, "PeerTrackers: cannot read %s\n", argv[1]);
        return 1;
    }

    cv::Mat image;
    int frames = 0;
    double decoding = 0;
    while (true) {
        const int64 start = cv::getTickCount();
        if (!video.read(image))
            break;
        decoding += double(cv::getTickCount() - start) / cv::getTickFrequency();
        ++frames;
        for (Measured& m : measured) {
            const int64 before = cv::getTickCount();
            const std::vector<PeerBox> boxes = m.method->Follow(frames, image);
            m.seconds += double(cv::getTickCount() - before) / cv::getTickFrequency();
            for (const PeerBox& b : boxes)
                std::fprintf(m.out, "%d,%d,%d,%d,%d,%d,1,%d,-1,-1\n", frames, b.id, b.box.x, b.box.y,
                             b.box.width, b.box.height, b.type);
        }
    }
    int status = 0;
    for (Measured& m : measured) {
        if (std::fclose(m.out) != 0) {
            std::fprintf(stderr, "PeerTrackers: cannot write the tracks of %s\n", m.name.c_str());
            status = 1;
        }
        std::printf("%s %.2f ms/frame\n", m.name.c_str(), frames ? 1000 * m.seconds / frames : 0.0);
    }
    std::printf("decoding %.2f ms/frame over %d frames\n", frames ? 1000 * decoding / frames : 0.0, frames);
    return status;
}
