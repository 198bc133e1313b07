#pragma once
// Names the processor beside a benchmark's figures: its model, whether it has the vector instruction sets
// the kernels are written for, and the kernel level this run uses. The same code runs at different speeds on
// processors with and without AVX-512 (OpenCV's own kernels use it too), so figures mean little without it.

#include "KernelDispatch.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace processor_context {

/* The value of the first line of /proc/cpuinfo that starts with key, or "" where there is none. */
inline std::string CpuInfo(const std::string& key)
{
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line))
        if (line.compare(0, key.size(), key) == 0) {
            const size_t colon = line.find(':');
            return colon == std::string::npos ? std::string() : line.substr(colon + 2);
        }
    return std::string();
}

/* Which of the vector instruction sets the kernels use the processor's flags list. */
inline std::string VectorFlags()
{
    std::istringstream flags(" " + CpuInfo("flags") + " ");
    std::string flag, found;
    while (flags >> flag)
        if (flag == "sse2" || flag == "avx2" || flag == "avx512f" || flag == "avx512bw" || flag == "avx512vl")
            found += (found.empty() ? "" : " ") + flag;
    return found;
}

/* Adds the processor's lines to the context every benchmark run prints first. */
inline bool Register()
{
    // A virtual machine may name only the maker's line; the family and model tell the generation.
    benchmark::AddCustomContext("processor", CpuInfo("model name") + " (family " + CpuInfo("cpu family") +
                                                 ", model " + CpuInfo("model") + ")");
    benchmark::AddCustomContext("vector flags", VectorFlags());
    benchmark::AddCustomContext("kernel level", KernelLevelName(ActiveKernelLevel()));
    return true;
}

inline const bool registered = Register();

} // namespace processor_context
