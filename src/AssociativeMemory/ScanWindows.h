#pragma once
// The windows of the multi-scale scan, in the order the scan visits them.

#include "CvAssociativeMemory.h"

/* Calls visit(window) for every window of memory's scan of its source, scale after scale from three
   quarters of the memory's area upwards while the area fits the source, each scale's area size, steps and
   merge radius set in the memory before its first window. The steps are read back before every window:
   visit may use the memory between windows. The memory must be created and have a source. */
template <class Visit> void ForEachScanWindow(CvAssociativeMemory& memory, Visit visit)
{
    CvAMContext& context = memory.context;
    const int levels = context.maxLevels;
    // Level-1 cells plus their border: AW / 2^L, AH / 2^L.
    const int cellX = context.alignedWidth >> levels;
    const int cellY = context.alignedHeight >> levels;
    for (int k = 0;; k++) {
        const float factor = 0.75f + 0.25f * static_cast<float>(k);
        const int cw = static_cast<int>(static_cast<float>(context.width) * factor);
        const int ch = static_cast<int>(static_cast<float>(context.height) * factor);
        if (cw > memory.sourceWidth || ch > memory.sourceHeight)
            break;
        memory.SetAreaSize(cw, ch);
        // step = ((c / cell) x 2 >> (L - 3)) - 1
        context.scanStepX = (((cw / cellX) * 2) >> (levels - 3)) - 1;
        context.scanStepY = (((ch / cellY) * 2) >> (levels - 3)) - 1;
        context.mergeRadius2 =
            4 * (context.scanStepX * context.scanStepX + context.scanStepY * context.scanStepY);
        for (int y = 0; y < memory.sourceHeight - ch; y += context.scanStepY)
            for (int x = 0; x < memory.sourceWidth - cw; x += context.scanStepX)
                visit(cvRect(x, y, cw, ch));
    }
}
