#include "SquaresFile.h"

#include "FileRows.h"
#include "FilmPosition.h"

#include <cinttypes>

void OpenSquaresFile(CvSquaresFile& squaresFile, const CvVideoFrontEnd& frontEnd)
{
    if (!frontEnd.writeResult)
        return;
    squaresFile.frameHeight = frontEnd.frameHeight;
    if (OpenResultFile(squaresFile.out, ResultFilePath(frontEnd, "_squares.csv")))
        std::fputs("frame,position_ms,x1,y1,x2,y2,x3,y3,x4,y4\n", squaresFile.out.file);
}

void WriteSquaresFrame(CvSquaresFile& squaresFile, const CvSeq* squares, double positionMs)
{
    squaresFile.frameNumber++;
    std::FILE* file = squaresFile.out.file;
    if (!file || !squares)
        return;
    const uint32_t position = FilmPositionMilliseconds(positionMs);
    for (int i = 0; i + 4 <= squares->total; i += 4) {
        std::fprintf(file, "%" PRIu64 ",%" PRIu32, squaresFile.frameNumber, position);
        for (int k = 0; k < 4; k++) {
            const CvPoint* p = reinterpret_cast<const CvPoint*>(cvGetSeqElem(squares, i + k));
            std::fprintf(file, ",%d,%d", p->x, FlippedTop(p->y, 1, squaresFile.frameHeight));
        }
        std::fputc('\n', file);
    }
    FlushResultFile(squaresFile.out);
}

void CloseSquaresFile(CvSquaresFile& squaresFile)
{
    CloseResultFile(squaresFile.out);
}
