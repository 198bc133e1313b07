#include "KernelDispatch.h"

#include <cstdlib>

#if LANESCOPE_X86_KERNELS
#include <cpuid.h>
#endif

namespace {

/* A level above the plain one and the environment variable that keeps the kernels below it. */
struct LevelSwitch
{
    KernelLevel level;
    const char* variable;
};

/* The ladder above the plain level, from the bottom. */
const LevelSwitch levelSwitches[] = {
    {KernelLevel::Sse2, "LANESCOPE_NO_SSE2"},
    {KernelLevel::Avx2, "LANESCOPE_NO_AVX2"},
    {KernelLevel::Avx512, "LANESCOPE_NO_AVX512"},
};

/* Climbs the ladder while the next level runs here and the environment lets it. */
KernelLevel ChooseKernelLevel()
{
    KernelLevel chosen = KernelLevel::Plain;
    for (const LevelSwitch& s : levelSwitches) {
        if (std::getenv(s.variable) || !KernelLevelRuns(s.level))
            break;
        chosen = s.level;
    }
    return chosen;
}

#if LANESCOPE_X86_KERNELS

/* Whether the processor has AVX2, AVX-512F, BW and VL and the operating system saves the registers they use:
   the upper halves of YMM0-15, ZMM0-15 above them, ZMM16-31 and the opmasks (the SSE, AVX, opmask, ZMM_Hi256
   and Hi16_ZMM bits of XCR0). A processor can have the instructions while its system keeps them off. */
bool RunsAvx512()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE))
        return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    const unsigned wanted = bit_AVX2 | bit_AVX512F | bit_AVX512BW | bit_AVX512VL;
    if ((b & wanted) != wanted)
        return false;
    unsigned xcr0 = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    const unsigned zmmState = 0xE6;
    return (xcr0 & zmmState) == zmmState;
}

#endif

} // namespace

bool KernelLevelRuns(KernelLevel level)
{
    switch (level) {
    case KernelLevel::Plain:
        return true;
#if LANESCOPE_X86_KERNELS
    case KernelLevel::Sse2:
        return true;
    case KernelLevel::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case KernelLevel::Avx512:
        return RunsAvx512();
#endif
    default:
        return false;
    }
}

KernelLevel ActiveKernelLevel()
{
    static const KernelLevel level = ChooseKernelLevel();
    return level;
}

const char* KernelLevelName(KernelLevel level)
{
    switch (level) {
    case KernelLevel::Sse2:
        return "SSE2";
    case KernelLevel::Avx2:
        return "AVX2";
    case KernelLevel::Avx512:
        return "AVX-512";
    default:
        return "plain";
    }
}
