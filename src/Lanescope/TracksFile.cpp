#include "TracksFile.h"

#include "DisplayHandlers.h"
#include "FileRows.h"

#include <cinttypes>

CvTracksFile lanescopeTracks;

namespace {

/* The id of the track reported with info, whose user data was previousBlock before the display handler
   saw the event. A track is new when the handler has just attached its trajectory record; a dropped
   track's slot and even its record's address come back for later tracks, which then get new ids. */
uint64_t TrackId(CvTracksFile& tracks, const void* previousBlock, const void* block)
{
    uint64_t id = 0;
    if (previousBlock) {
        const auto known = tracks.lastIds.find(block);
        if (known != tracks.lastIds.end())
            id = known->second;
    }
    if (id == 0)
        id = tracks.nextId++;
    tracks.ids[block] = id;
    return id;
}

void RecordTrack(CvTracksFile& tracks, int type, const CvAMObjectInfo& info, const void* previousBlock)
{
    // A track whose record could not be allocated is drawn without a path and has no identity to write.
    const void* block = *info.userSlot;
    if (!block)
        return;
    const uint64_t id = TrackId(tracks, previousBlock, block);
    if (!tracks.newFrame)
        return;
    const CvRect r = info.rect;
    std::fprintf(tracks.out.file, "%" PRIu64 ",%" PRIu64 ",%d,%d,%d,%d,%.6g,%d,-1,-1\n", tracks.frameNumber,
                 id, r.x, FlippedTop(r.y, r.height, tracks.frameHeight), r.width, r.height, info.confidence,
                 type);
}

} // namespace

void OpenTracksFile(CvTracksFile& tracks, const CvVideoFrontEnd& frontEnd)
{
    if (!frontEnd.writeResult)
        return;
    tracks.frameHeight = frontEnd.frameHeight;
    OpenResultFile(tracks.out, ResultFilePath(frontEnd, "_tracks.txt"));
}

void BeginTracksFrame(CvTracksFile& tracks, bool newFrame)
{
    tracks.newFrame = newFrame;
    if (newFrame)
        tracks.frameNumber++;
}

void OnTrackingEventRecorded(int event, int* type, CvAMObjectInfo* info, void* userPointer)
{
    const bool tracked = event == CV_AM_TRACKED && info && info->userSlot && type;
    const void* previousBlock = tracked ? *info->userSlot : nullptr;
    OnTrackingEvent(event, type, info, userPointer);
    CvTracksFile& tracks = lanescopeTracks;
    if (!tracks.out.file)
        return;
    if (event == CV_AM_FRAME_START) {
        tracks.lastIds.swap(tracks.ids);
        tracks.ids.clear();
    } else if (tracked) {
        RecordTrack(tracks, *type, *info, previousBlock);
    } else if (event == CV_AM_FRAME_END && tracks.newFrame) {
        FlushResultFile(tracks.out);
    }
}

void CloseTracksFile(CvTracksFile& tracks)
{
    CloseResultFile(tracks.out);
}
