#pragma once
// Quadfinder's playback-position line, "==> film current position: hh:mm:ss.mmm".

#include <cstddef>
#include <cstdint>

/* Whole milliseconds of a position as an unsigned 32-bit count: truncated toward zero, modulo 2^32;
   a negative or undefined position counts as 0. */
uint32_t FilmPositionMilliseconds(double msec);

/* Writes the position line (with its line feed) for a position in milliseconds into buf; returns the
   length the full line has, as snprintf does. */
int FormatFilmPosition(double msec, char* buf, size_t size);

/* Prints the position line for a position in milliseconds on standard output. */
void PrintFilmPosition(double msec);
