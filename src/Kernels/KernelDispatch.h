#pragma once
// Which form of the kernels runs. Every kernel comes in forms for a ladder of instruction sets, each giving
// exactly the results of the plain form: the plain C++ form, always compiled, then SSE2 (part of every
// x86-64 processor), AVX2 and AVX-512 (each chosen at run time where the processor has it). A kernel's
// accessor (ContrastRowAt and the like) hands out the form of any level, its plain name the reference form,
// and its own name the form of the level this process runs at. The program itself is compiled for any
// x86-64 processor: only the functions marked for a level's instruction set use it. README.md beside this
// header gives the arithmetic.

#include <atomic>
#include <type_traits>

/* Whether this build has the x86-64 vector forms; elsewhere only the plain forms exist. */
#if defined(__SSE2__) && defined(__x86_64__)
#define LANESCOPE_X86_KERNELS 1
#else
#define LANESCOPE_X86_KERNELS 0
#endif

/* The instruction sets the kernels are written for, in ladder order: a processor that runs one level runs
   every level below it. A kernel without a form of its own for a level uses that of the level below. */
enum class KernelLevel {
    Plain, /* portable C++ */
    Sse2,  /* vectors of 128 bits */
    Avx2,  /* vectors of 256 bits */
    Avx512 /* vectors of 512 bits: AVX-512F, BW and VL, with the operating system saving their registers */
};

/* Every level, from the bottom of the ladder. */
const KernelLevel allKernelLevels[] = {KernelLevel::Plain, KernelLevel::Sse2, KernelLevel::Avx2,
                                       KernelLevel::Avx512};

/* Marks a function whose body may use AVX-512F, BW and VL: only such functions do, and they run only when
   ActiveKernelLevel() (or a test's KernelLevelRuns) says the processor has them. */
#define LANESCOPE_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))

/* Whether this build has the forms of level and this processor runs them, whatever the environment asks;
   the processor's features are read afresh. */
bool KernelLevelRuns(KernelLevel level);

/* The level every kernel runs at in this process: the highest that runs here, kept to AVX2 when
   LANESCOPE_NO_AVX512 is set in the environment, to SSE2 when LANESCOPE_NO_AVX2 is and to the plain forms
   when LANESCOPE_NO_SSE2 is (each to anything). Chosen once, on first use. */
KernelLevel ActiveKernelLevel();

/* The name of level, as benchmarks print it: "plain", "SSE2", "AVX2" or "AVX-512". */
const char* KernelLevelName(KernelLevel level);

/* Calls through the form of a kernel that the process runs, At being the kernel's accessor: its first call
   asks At for the form of ActiveKernelLevel() and keeps it, later calls cost a load and a jump. Any thread
   may make the first call; two at once keep the same form. */
template <auto At, class Form = std::remove_pointer_t<decltype(At(KernelLevel::Plain))>> struct ActiveForm;

template <auto At, class R, class... Args> struct ActiveForm<At, R(Args...)>
{
    static R Call(Args... args) { return form.load(std::memory_order_relaxed)(args...); }

  private:
    static R FirstCall(Args... args)
    {
        R (*const chosen)(Args...) = At(ActiveKernelLevel());
        form.store(chosen, std::memory_order_relaxed);
        return chosen(args...);
    }
    static inline std::atomic<R (*)(Args...)> form{FirstCall};
};
