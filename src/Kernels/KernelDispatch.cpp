#include "KernelDispatch.h"

#include <cstdlib>

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
