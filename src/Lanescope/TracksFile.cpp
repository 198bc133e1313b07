#include "TracksFile.h"

#include "DisplayHandlers.h"
#include "FileRows.h"

#include <cinttypes>

CvTracksFile lanescopeTracks;

namespace {

void RecordTrack(CvTracksFile& tracks, int type, const CvAMObjectInfo& info, const void* previousBlock)
{
    // A track whose record could not be allocated is drawn without a path and has no identity to write.
    const void* block = *info.userSlot;
    if (!block)
        return;
    const uint64_t id = TrackId(tracks.ids, previousBlock, block);
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
        BeginTrackIdStep(tracks.ids);
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
