// The memory's hot paths on VGA frames: the integral image, one recall, one training step, and the
// feature distance of every new base's ring threshold.
#include "AbsDiffSum.h"
#include "CvAssociativeMemory.h"
#include "MemoryTestSupport.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

const CvRect TRAINED_AREA = {270, 190, 100, 100};

/* A default memory trained with objects distinct objects, each drawn over the same place of its own frame;
   the frame of object 0 is current. */
struct TrainedMemory
{
    CvAssociativeMemory memory;
    std::vector<cv::Mat> frames;

    explicit TrainedMemory(int objects)
    {
        memory.Create(100, 100, 0);
        for (int i = 0; i < objects; i++) {
            frames.push_back(MakeTexture(640, 480, 1000 + static_cast<uint64_t>(i)));
            SetFrame(memory, frames.back());
            memory.Write(TRAINED_AREA, &i);
        }
        SetFrame(memory, frames.front());
    }
};

void BM_SetImage(benchmark::State& state)
{
    CvAssociativeMemory memory;
    memory.Create(100, 100, 0);
    const cv::Mat frame = MakeTexture(640, 480, 1);
    for (auto _ : state)
        SetFrame(memory, frame);
}
BENCHMARK(BM_SetImage)->Unit(benchmark::kMicrosecond);

/* One stopping Read of object 0's trained place (range(1) = 0) or of a window without any object (1). */
void BM_Read(benchmark::State& state)
{
    TrainedMemory trained(static_cast<int>(state.range(0)));
    const CvRect area = state.range(1) == 0 ? TRAINED_AREA : cvRect(20, 20, 100, 100);
    int matched = 0;
    for (auto _ : state) {
        double probability = 0;
        matched += trained.memory.Read(area, nullptr, nullptr, nullptr, nullptr, &probability);
        benchmark::DoNotOptimize(probability);
    }
    state.counters["bases"] = trained.memory.context.baseCount;
    state.counters["recognised"] = static_cast<double>(matched) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Read)
    ->ArgsProduct({{1, 10, 100}, {0, 1}})
    ->ArgNames({"objects", "miss"})
    ->Unit(benchmark::kMicrosecond);

/* A Write along an already trained path: the search of every level and the relabelling. */
void BM_WriteKnown(benchmark::State& state)
{
    TrainedMemory trained(10);
    const int type = 0;
    for (auto _ : state)
        trained.memory.Write(TRAINED_AREA, &type);
}
BENCHMARK(BM_WriteKnown)->Unit(benchmark::kMicrosecond);

/* A Write of a new object into an empty memory: a fresh chain with the ring threshold of every level. */
void BM_WriteNew(benchmark::State& state)
{
    CvAssociativeMemory memory;
    const cv::Mat frame = MakeTexture(640, 480, 5);
    const int type = 1;
    for (auto _ : state) {
        state.PauseTiming();
        memory.Create(100, 100, 0);
        SetFrame(memory, frame);
        state.ResumeTiming();
        memory.Write(TRAINED_AREA, &type);
    }
}
BENCHMARK(BM_WriteNew)->Unit(benchmark::kMicrosecond);

/* The extraction of one search at the deepest level: 16 x 16 values over an 85-pixel area. */
void BM_ExtractFeatures(benchmark::State& state)
{
    CvAssociativeMemory memory;
    memory.Create(100, 100, 0);
    const cv::Mat frame = MakeTexture(640, 480, 1);
    SetFrame(memory, frame);
    const int cells = static_cast<int>(state.range(0));
    std::vector<int16_t> out(static_cast<size_t>(cells * cells));
    for (auto _ : state) {
        ExtractFeatures(memory.integral, cvRect(272, 192, 85, 85), cells, cells, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ExtractFeatures)->Arg(4)->Arg(16);

/* Two random feature vectors of n values from a fixed seed. */
struct FeaturePair
{
    std::vector<int16_t> a, b;
    explicit FeaturePair(int n) : a(static_cast<size_t>(n)), b(a.size())
    {
        cv::RNG rng(3);
        for (size_t k = 0; k < a.size(); k++) {
            a[k] = static_cast<int16_t>(rng.uniform(-32767, 32768));
            b[k] = static_cast<int16_t>(rng.uniform(-32767, 32768));
        }
    }
};

/* The distance of two level-3 vectors (225 values): the vectorised sum against the plain form. */
void BM_FeatureDistance(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const FeaturePair v(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(v.a.data());
        benchmark::DoNotOptimize(AbsDiffSum(v.a.data(), v.b.data(), n));
    }
}
BENCHMARK(BM_FeatureDistance)->Arg(9)->Arg(49)->Arg(225);

void BM_FeatureDistancePlain(benchmark::State& state)
{
    const FeaturePair v(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(v.a.data());
        benchmark::DoNotOptimize(AbsDiffSumPlain(v.a.data(), v.b.data(), static_cast<int>(v.a.size())));
    }
}
BENCHMARK(BM_FeatureDistancePlain)->Arg(9)->Arg(49)->Arg(225);

} // namespace
