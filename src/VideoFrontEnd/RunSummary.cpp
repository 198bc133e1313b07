#include "RunSummary.h"

#include <cstdio>
#include <string>
#include <vector>

void PrintRunSummary(const CvVideoFrontEnd& fe, const CvResultFile& dataFile, const char* memoryFile,
                     bool memorySaved)
{
    if (!fe.windowless)
        return;
    std::vector<std::string> written;
    const cvcompat::ClosedVideo& video = fe.recording;
    if (!video.name.empty())
        written.push_back(video.name + (video.flaw.empty() ? " (" : " (incomplete; ") +
                          std::to_string(video.frames) + (video.frames == 1 ? " frame" : " frames") +
                          (video.flaw.empty() ? ")" : " written)"));
    if (!dataFile.keptAs.empty())
        written.push_back(dataFile.keptAs + (dataFile.complete ? "" : " (incomplete)"));

    std::string line;
    for (std::size_t i = 0; i < written.size(); ++i)
        line += (i == 0 ? "" : i + 1 < written.size() ? ", " : " and ") + written[i];
    line = written.empty()
               ? std::string(fe.writeResult ? "This run wrote no file" : "This run recorded nothing (no /r)")
               : "This run wrote " + line;
    if (memoryFile)
        line += std::string("; ") + memoryFile +
                (memorySaved ? " saved" : " not saved (the reason is given above)");
    std::fflush(stdout);
    std::fprintf(stderr, "%s.\n", line.c_str());
}
