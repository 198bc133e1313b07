#pragma once
// The identity of Lanescope's tracks: a number that stays with a track for its whole life and is never
// given to another. The tracker reuses a dropped track's slot, and the allocator may hand a dropped track's
// user block to a later one, so a track is known by its block only from one step to the next.

#include <cstdint>
#include <unordered_map>

/* The ids handed out so far and the blocks they belong to in this step and the last. */
struct CvTrackIds
{
    uint64_t nextId = 1;                               /* id of the next new track */
    std::unordered_map<const void*, uint64_t> ids;     /* ids of this step's tracks, by user block */
    std::unordered_map<const void*, uint64_t> lastIds; /* the same for the previous tracking step */
};

/* Starts a tracking step (at CV_AM_FRAME_START): this step's ids become the last step's. */
void BeginTrackIdStep(CvTrackIds& ids);

/* The id of a track reported with CV_AM_TRACKED whose user block is block now and was previousBlock before
   the event function saw the event. A track is new when the event function has just attached its block. */
uint64_t TrackId(CvTrackIds& ids, const void* previousBlock, const void* block);
