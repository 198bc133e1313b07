#pragma once
// What the fuzzers and their seed generator share: a textured frame and the checks on a memory.

#include "CvAssociativeMemory.h"

#include <opencv2/core.hpp>
#include <vector>

/* A side x side grey frame of smooth random blotches from a fixed seed. */
cv::Mat FuzzFrame(int side, uint64_t seed);

/* The memory's packed data image in a buffer of the size its owner gives it. */
std::vector<unsigned char> FuzzPack(CvAssociativeMemory& memory);

/* Stops the process (a finding for libFuzzer) when a condition that must hold does not. */
void FuzzCheck(bool condition, const char* what);

/* True for a record whose header asks for a memory with a deepest grid of more than 4 million values:
   such a memory is sound but takes seconds to make and gigabytes of address space, which the fuzzers'
   limits would report as findings, so they pass it by. */
bool FuzzTooLarge(const uint8_t* record, size_t size);

/* Checks a memory that was just rebuilt: its image reads back into the same image, and a memory built for
   a small area recalls and trains on a frame without fault. */
void FuzzExercise(CvAssociativeMemory& memory);
