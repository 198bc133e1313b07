#pragma once
// lanescope.Memory: one associative memory, made fresh or loaded from a memory file, taught from frames
// and saved, with the memory file's rules of the program.

#include "CvAssociativeMemory.h"

#include <opencv2/core.hpp>

#include <memory>
#include <mutex>
#include <string>

/* A memory as Python holds it. Every operation holds lock, so that a tracker stepping on another thread and
   a teach or save never meet inside the memory; the GIL is never held while waiting for it. */
struct CvPyMemory
{
    std::unique_ptr<CvAssociativeMemory> memory; /* NULL once closed */
    std::mutex lock;                             /* held by every operation on memory */
    bool tracked = false;                        /* a tracker follows objects with it */
    cv::Mat turned;                              /* the frame a teach analyses, when it is not the caller's */
    cv::Mat grey;                                /* the grey image a teach writes from */

    /* The memory, or ValueError once closed; called with lock held. */
    CvAssociativeMemory& Open();
};

/* A fresh memory for an interest area of width x height (each raised to at least 40). */
std::shared_ptr<CvPyMemory> CreateMemory(int width, int height);

/* A memory read from a memory file, without the program's load report. FileNotFoundError
   for a missing file; lanescope.MemoryFileError for one that cannot be used, which is left as it is. */
std::shared_ptr<CvPyMemory> LoadMemory(const std::string& path);

/* Prunes the memory and replaces the memory file at path with it, whole or not at all, holding the lock on
   its folders that Lanescope runs and the teacher take; MemoryFileError while one of them holds it, when
   path holds something that is not a memory file, or when the save fails. */
void SaveMemory(CvPyMemory& memory, const std::string& path);

/* Releases the memory; every later operation raises ValueError. */
void CloseMemory(CvPyMemory& memory);

/* Teaches memory the area rect = (x, y, width, height) of frame as type (1 to 256), as Lanescope's training
   frame does: the frame prepared into the grey image, the area written and read back. With upsideDown the
   frame is turned as the programs turn theirs and rect is in the frame's own rows. lanescope.Error carries
   the memory's report of an area it refuses. */
void TeachMemory(CvPyMemory& memory, const cv::Mat& frame, cv::Rect rect, int type, bool upsideDown);
