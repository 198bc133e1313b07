#pragma once
// Wrap: where a path that loops round comes out.

#include <cmath>

/* Wraps value into [low, low + length). */
inline double Wrap(double value, double low, double length)
{
    double offset = std::fmod(value - low, length);
    if (offset < 0)
        offset += length;
    return low + offset;
}
