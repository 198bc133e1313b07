#pragma once
// The processor's vector intrinsics, for the kernels' x86-64 forms. GCC 12 fills the unused inputs of its
// AVX-512 intrinsics with a deliberately undefined value and then reports that value as uninitialised at
// every use; the report is silenced for this header's own lines, so that it still works in the kernels.

#include "KernelDispatch.h"

#if LANESCOPE_X86_KERNELS
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif
