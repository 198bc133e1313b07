#pragma once
// Synthetic grey textures for tests and benchmarks, reproducible from a seed.

#include <opencv2/core.hpp>

#include <cstdint>

/* A grey texture of blobs and bars of many sizes, reproducible from its seed. */
cv::Mat MakeTexture(int width, int height, uint64_t seed);
