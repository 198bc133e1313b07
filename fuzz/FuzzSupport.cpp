#include "FuzzSupport.h"

#include "PackedFormat.h"

#include <cstdio>
#include <cstdlib>
#include <opencv2/imgproc.hpp>

cv::Mat FuzzFrame(int side, uint64_t seed)
{
    cv::Mat coarse(side / 8, side / 8, CV_8UC1);
    cv::RNG rng(seed);
    rng.fill(coarse, cv::RNG::UNIFORM, 0, 256);
    cv::Mat frame;
    cv::resize(coarse, frame, cv::Size(side, side), 0, 0, cv::INTER_LINEAR);
    return frame;
}

std::vector<unsigned char> FuzzPack(CvAssociativeMemory& memory)
{
    const CvAMContext& c = memory.context;
    std::vector<unsigned char> buffer(static_cast<size_t>(GetPackedDataSize(c)));
    memory.WritePackedData(buffer.data());
    return buffer;
}

bool FuzzTooLarge(const uint8_t* record, size_t size)
{
    if (size < 20)
        return false;
    // The record header's width (offset 0), height (4) and levels (18), little-endian.
    auto field = [record](size_t at, int bytes) {
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; i--)
            v = (v << 8) | record[at + static_cast<size_t>(i)];
        return v;
    };
    const int width = static_cast<int32_t>(field(0, 4));
    const int height = static_cast<int32_t>(field(4, 4));
    const int16_t levels = static_cast<int16_t>(field(18, 2));
    CvAMContext sizing = CvAMContext();
    if (!sizing.SetSizes(width, height, levels))
        return false;
    const CvSize deepest = sizing.GetGridSize(sizing.levels);
    return static_cast<int64_t>(deepest.width) * deepest.height > (1 << 22);
}

void FuzzCheck(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

void FuzzExercise(CvAssociativeMemory& memory)
{
    const std::vector<unsigned char> first = FuzzPack(memory);
    CvAssociativeMemory copy;
    FuzzCheck(copy.ReadPackedData(first.data(), first.size()), "a written image reads back");
    FuzzCheck(copy.context.baseCount == memory.context.baseCount, "the copy has every base");
    FuzzCheck(FuzzPack(copy) == first, "the copy writes the same image");

    const int width = memory.context.width, height = memory.context.height;
    if (width > 200 || height > 200)
        return;
    static const cv::Mat frame = FuzzFrame(256, 3);
    CvMat view = cvMat(frame);
    memory.SetImage(&view);
    const CvRect area = cvRect(256 - width, 0, width, height);
    double probability = 0;
    memory.Read(area, NULL, NULL, NULL, NULL, &probability, true);
    FuzzCheck(probability >= 0 && probability <= 1, "a probability in 0..1");
    const int type = 7;
    memory.Write(area, &type);
    memory.Read(area);
    memory.root->Prune();
    FuzzPack(memory);
}
