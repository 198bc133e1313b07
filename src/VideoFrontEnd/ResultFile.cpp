#include "ResultFile.h"

#include "OutputFiles.h"

#include <cerrno>
#include <cstring>

namespace {

/* Creates the fresh file for path and opens it for writing; false with errno set. */
bool CreateBeside(CvResultFile& result, const std::string& path)
{
    if (!cvcompat::BeginReplacement(result.replacement, path, true))
        return false;
    result.file = fdopen(result.replacement.fd, "w");
    if (!result.file) {
        const int error = errno;
        cvcompat::DiscardReplacement(result.replacement);
        errno = error;
    }
    return result.file != nullptr;
}

/* Closes the stream, which owns the fresh file's descriptor and with it the lock. */
void CloseStream(CvResultFile& result)
{
    std::fclose(result.file);
    result.file = nullptr;
    result.replacement.fd = -1;
}

/* Ends writing after the failure error: the file keeps what was written under a name that says it is
   incomplete, and the older file at the path stays. */
void GiveUp(CvResultFile& result, int error)
{
    const std::string aside = cvcompat::KeepReplacementAsIncomplete(result.replacement);
    // The lock goes after the rename, so that no other run takes the file for one left unfinished.
    CloseStream(result);
    result.keptAs = aside;
    result.complete = false;
    const std::string& path = result.replacement.path;
    std::fflush(stdout);
    std::fprintf(stderr, "Cannot write %s (%s); %s.\n", path.c_str(), std::strerror(error),
                 DescribeKeptFile(path, aside, "what this run wrote").c_str());
}

} // namespace

std::string ResultFilePath(const CvVideoFrontEnd& frontEnd, const char* suffix)
{
    return std::string(frontEnd.baseName) + suffix;
}

bool OpenResultFile(CvResultFile& result, const std::string& path)
{
    result.keptAs.clear();
    result.complete = false;
    ReportUnfinishedFiles(path);
    if (!CreateBeside(result, path)) {
        const int error = errno;
        std::fflush(stdout);
        std::fprintf(stderr, "Cannot create %s: %s\n", path.c_str(), std::strerror(error));
    }
    return result.file != nullptr;
}

void FlushResultFile(CvResultFile& result)
{
    if (result.file && (std::fflush(result.file) != 0 || std::ferror(result.file)))
        GiveUp(result, errno != 0 ? errno : EIO);
}

void CloseResultFile(CvResultFile& result)
{
    FlushResultFile(result);
    if (!result.file)
        return;
    const cvcompat::Replacement& r = result.replacement;
    if (!cvcompat::SyncReplacement(r)) {
        GiveUp(result, errno);
        return;
    }
    result.complete = true;
    result.keptAs = r.path;
    if (!cvcompat::CommitReplacement(r)) {
        const int error = errno;
        result.keptAs = r.fresh;
        std::fflush(stdout);
        std::fprintf(stderr, "What this run wrote could not be named %s (%s); it is kept as %s.\n",
                     r.path.c_str(), std::strerror(error), r.fresh.c_str());
    }
    CloseStream(result);
}
