#include "TrackIds.h"

void BeginTrackIdStep(CvTrackIds& ids)
{
    ids.lastIds.swap(ids.ids);
    ids.ids.clear();
}

uint64_t TrackId(CvTrackIds& ids, const void* previousBlock, const void* block)
{
    uint64_t id = 0;
    // A dropped track's slot and even its block's address come back for later tracks, which then get new ids.
    if (previousBlock) {
        const auto known = ids.lastIds.find(block);
        if (known != ids.lastIds.end())
            id = known->second;
    }
    if (id == 0)
        id = ids.nextId++;
    ids.ids[block] = id;
    return id;
}
