#include "FilmPosition.h"

#include <cmath>
#include <cstdio>

uint32_t FilmPositionMilliseconds(double msec)
{
    // A capture that knows no position may report a negative one; converting that (or NaN, or a value past
    // 2^32) straight to an unsigned integer is undefined, so it is taken in hand here.
    if (!(msec > 0) || !std::isfinite(msec))
        return 0;
    return uint32_t(std::fmod(std::trunc(msec), 4294967296.0));
}

int FormatFilmPosition(double msec, char* buf, size_t size)
{
    uint32_t m = FilmPositionMilliseconds(msec);
    return std::snprintf(buf, size, "==> film current position: %2.2d:%2.2d:%2.2d.%3.3d\n", int(m / 3600000),
                         int(m % 3600000 / 60000), int(m % 60000 / 1000), int(m % 1000));
}

void PrintFilmPosition(double msec)
{
    char line[64];
    FormatFilmPosition(msec, line, sizeof line);
    std::fputs(line, stdout);
}
