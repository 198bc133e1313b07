#pragma once
// Street-like test frames made in code from a seed: a shaded, textured and noisy background with
// quadrilaterals (upright and turned), triangles, discs and lane marks on it.

#include <opencv2/core.hpp>

#include <cstdint>

/* An 8-bit BGR frame of the given size, the same for the same seed. */
cv::Mat MakeStreetFrame(int width, int height, uint64_t seed);
