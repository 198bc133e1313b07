#pragma once
// The programs analyse, draw and record every frame upside down, as the frame cycle turns it when it is
// grabbed; what they write for other programs, and what those give them, counts rows as a video file's
// picture shows them to a player. Turning a frame of height H upside down maps row y to row H - 1 - y.

/* The first of the rows that rows [y, y + height) of a frame frameHeight rows high take once the frame is
   turned upside down: they are rows [frameHeight - y - height, frameHeight - y). Turning back is the same
   sum, and a point's row is that of a box one row high. */
constexpr int FlippedTop(int y, int height, int frameHeight)
{
    return frameHeight - y - height;
}
