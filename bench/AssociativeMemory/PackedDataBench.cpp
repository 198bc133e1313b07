// Saving a memory into its packed data image and rebuilding it, for memories of 10 to 100 000 bases.
#include "CvAssociativeMemory.h"
#include "PackedFormat.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

/* Fills the default memory with count bases made straight from feature vectors, breadth first: the root
   gets count / 73 + 1 children and every other base above the deepest level up to 8, so that the three
   levels below the root can hold them all. */
void Build(CvAssociativeMemory& m, int count)
{
    m.Create(100, 100, 0);
    std::vector<int16_t> features(15 * 15);
    for (size_t k = 0; k < features.size(); k++)
        features[k] = static_cast<int16_t>(static_cast<int>((k * 7919) % 65535) - 32767);
    uint64_t index = m.root->index;
    std::vector<CvAMBase*> open(1, m.root);
    for (size_t next = 0; next < open.size() && m.context.baseCount < count; next++) {
        CvAMBase* parent = open[next];
        const int fanOut = parent == m.root ? count / 73 + 1 : 8;
        for (int k = 0; k < fanOut && m.context.baseCount < count; k++) {
            const CvAMBaseHeader header = {++index, 10, 100000, 1};
            CvAMBase* child = parent->CreateChild(NULL, cvRect(0, 0, 0, 0), features.data(), &header);
            if (child->level < m.context.levels)
                open.push_back(child);
        }
    }
    m.context.baseIndex = index;
}

size_t BufferSize(const CvAssociativeMemory& m)
{
    return static_cast<size_t>(GetPackedDataSize(m.context));
}

void BM_WritePackedData(benchmark::State& state)
{
    CvAssociativeMemory m;
    Build(m, static_cast<int>(state.range(0)));
    std::vector<unsigned char> buffer(BufferSize(m));
    for (auto _ : state) {
        m.WritePackedData(buffer.data());
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer.size()));
}

void BM_ReadPackedData(benchmark::State& state)
{
    std::vector<unsigned char> buffer;
    {
        CvAssociativeMemory m;
        Build(m, static_cast<int>(state.range(0)));
        buffer.resize(BufferSize(m));
        m.WritePackedData(buffer.data());
    }
    CvAssociativeMemory m;
    for (auto _ : state) {
        // Each pass also deletes the tree of the previous one, as a load over a trained memory does.
        if (!m.ReadPackedData(buffer.data(), buffer.size()))
            state.SkipWithError("record refused");
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer.size()));
}

} // namespace

BENCHMARK(BM_WritePackedData)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadPackedData)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
