#pragma once
// What the memory's own source files share and its users need not see: the texts of its error reports,
// whether the memory accepted an access, a detection's means and the release of a track's user block.

#include "CvAssociativeMemory.h"

#include <cstdint>

/* Operation names and messages of the memory's error reports; callers and tests match these texts. */
const char* const CV_AM_SET_IMAGE_FUNC = "CvAssociativeMemory::SetImage";
const char* const CV_AM_WRITE_FUNC = "CvAssociativeMemory::Write";
const char* const CV_AM_READ_FUNC = "CvAssociativeMemory::Read";
const char* const CV_AM_SCAN_FUNC = "CvAssociativeMemory::ScanImage";
const char* const CV_AM_TRACKING_FUNC = "CvAssociativeMemory::ObjectTracking";
const char* const CV_AM_WRITE_PACKED_FUNC = "CvAssociativeMemory::WritePackedData";
const char* const CV_AM_READ_PACKED_FUNC = "CvAssociativeMemory::ReadPackedData";
const char* const CV_AM_NOT_CREATED_MSG = "Associative memory is not created";
const char* const CV_AM_NO_SOURCE_MSG = "Source image is not set";
const char* const CV_AM_WRITE_AREA_MSG = "Incorrect size interest area";
const char* const CV_AM_READ_AREA_MSG = "Incorrect size of interest area";
const char* const CV_AM_INNER_FAILED_MSG = "Inner function failed.";
const char* const CV_AM_SOURCE_TYPE_MSG = "Source images must have 8uC1 type";
const char* const CV_AM_NULL_DATA_MSG = "NULL apData pointer";
const char* const CV_AM_NULL_EVENT_FUNC_MSG = "The pointer of RcgAMFunc is NULL";
const char* const CV_AM_NULL_PACKED_MSG = "The pointer of packed data is NULL";
const char* const CV_AM_PACKED_MISMATCH_MSG = "Size of input data do not match to actual settings";

/* Runs access, one Write or Read of memory, and tells whether the memory accepted it: both count every access
   they make and none they refuse, so an unchanged counter means nothing was written or produced. */
template <class Access> bool MemoryAccepted(CvAssociativeMemory& memory, Access access)
{
    const uint64_t accesses = memory.context.accessCount;
    access();
    return memory.context.accessCount != accesses;
}

/* What a detection's merged windows say on average. */
struct DetectionMean
{
    CvPoint centre;    /* mean centre, image pixels */
    CvSize size;       /* mean size, image pixels */
    double confidence; /* mean read confidence */
};

/* The means of d's windows; all zero for a detection without windows. */
inline DetectionMean MeanOf(const CvAMDetection& d)
{
    const int n = d.count;
    if (!n)
        return DetectionMean{cvPoint(0, 0), cvSize(0, 0), 0.0};
    return DetectionMean{cvPoint(d.sumX / n, d.sumY / n), cvSize(d.sumWidth / n, d.sumHeight / n),
                         d.sumConfidence / n};
}

/* Frees the block the event function attached to track, if any, and empties its user slot. */
inline void ReleaseUserData(CvAMTrack* track)
{
    if (track->userData) {
        operator delete(track->userData);
        track->userData = NULL;
    }
}
