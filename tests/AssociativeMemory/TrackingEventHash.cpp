// Prints fingerprints of what ObjectTracking does on real video: a hash of every event (code, type,
// rectangle, confidence, bases) over the first 100 frames, and a hash of the memory's packed image
// afterwards (every base's features and counters, as "am.dat" would hold them). Two builds of the tracker
// behave alike on this video exactly when they print the same lines.
#include "KernelDispatch.h"
#include "LanescopeSettings.h"
#include "RealVideo.h"

#include <opencv2/core/utility.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Fingerprint
{
    uint64_t hash = 1469598103934665603ull; // FNV-1a
    uint64_t events = 0;

    void Add(const void* data, size_t size)
    {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        for (size_t k = 0; k < size; k++)
            hash = (hash ^ p[k]) * 1099511628211ull;
    }
    template <typename T> void Add(T value) { Add(&value, sizeof value); }
};

void Record(int code, int* type, CvAMObjectInfo* info, void* user)
{
    Fingerprint& f = *static_cast<Fingerprint*>(user);
    f.events++;
    f.Add(code);
    f.Add(type ? *type : -1);
    if (info) {
        f.Add(info->rect.x);
        f.Add(info->rect.y);
        f.Add(info->rect.width);
        f.Add(info->rect.height);
        f.Add(info->confidence);
        f.Add(info->bases);
    }
}

uint64_t MemoryHash(CvAssociativeMemory& am)
{
    std::vector<unsigned char> image(static_cast<size_t>(am.context.dataSize) +
                                     40 * static_cast<size_t>(am.context.baseCount + 1));
    am.WritePackedData(image.data());
    Fingerprint f;
    f.Add(image.data(), image.size());
    return f.hash;
}

/* One run over the video: the application's settings, or with the tracker learning what it follows. */
void Run(const char* path, RealVideo& video, bool learning)
{
    CvAssociativeMemory am;
    TeachViews(am, video, 10);
    Fingerprint f;
    for (size_t k = 0; k < video.grey.size(); k++) {
        ShowFrame(am, video, k);
        if (learning)
            am.ObjectTracking(Record, &f, true, 0.9, 0.5);
        else
            am.ObjectTracking(Record, &f, CV_LS_LEARNING, CV_LS_LEARNING_CEILING, CV_LS_ACCEPTANCE_FLOOR);
    }
    std::printf("%s learning=%d frames=%zu events=%llu events-hash=%016llx bases=%d memory-hash=%016llx\n",
                path, learning ? 1 : 0, video.grey.size(), static_cast<unsigned long long>(f.events),
                static_cast<unsigned long long>(f.hash), am.context.baseCount,
                static_cast<unsigned long long>(MemoryHash(am)));
}

} // namespace

/* The exit code that tells CTest a run was skipped. */
const int skippedCode = 77;

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::atoi(argv[1]) : 100;
    // With "avx512" the fingerprints are those of the AVX-512 kernels, which only a processor that has them
    // can give: elsewhere the run is skipped rather than made at a lower level.
    if (argc > 3 && std::strcmp(argv[3], "avx512") == 0 && ActiveKernelLevel() != KernelLevel::Avx512) {
        std::fprintf(stderr, "skipped: the AVX-512 kernels do not run here\n");
        return skippedCode;
    }
    // The threads of OpenCV's parallel loops: with more than one the scan's searches are made ahead.
    if (argc > 2)
        cv::setNumThreads(std::atoi(argv[2]));
    for (const char* path : {CV_REAL_VTEST, CV_REAL_MEGAMIND}) {
        RealVideo video;
        if (!video.Load(path, frames)) {
            std::printf("%s: not readable, skipped\n", path);
            continue;
        }
        Run(path, video, false);
        Run(path, video, true);
    }
    return 0;
}
