#include "ResultFile.h"

#include "FreshFile.h"
#include "OutputFiles.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/* The fresh file for path, open for writing; null with errno set. */
std::FILE* CreateBeside(const std::string& path, std::string& fresh)
{
    struct stat info;
    if (lstat(path.c_str(), &info) == 0) {
        // The rename at the end would fail on a directory; a file its owner made read-only keeps its
        // content, as it would if it were opened for writing.
        if (S_ISDIR(info.st_mode)) {
            errno = EISDIR;
            return nullptr;
        }
        if (S_ISREG(info.st_mode) && access(path.c_str(), W_OK) != 0)
            return nullptr;
    }
    const int fd = cvcompat::CreateLockedFileBeside(path, fresh);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "w");
    if (!file) {
        const int error = errno;
        unlink(fresh.c_str());
        close(fd);
        errno = error;
    }
    return file;
}

/* Ends writing after the failure error: the file keeps what was written under a name that says it is
   incomplete, and the older file at the path stays. */
void GiveUp(CvResultFile& result, int error)
{
    std::string aside = cvcompat::KeepAsIncomplete(result.fresh, result.path);
    if (aside.empty())
        aside = result.fresh;
    // The lock goes after the rename, so that no other run takes the file for one left unfinished.
    std::fclose(result.file);
    result.file = nullptr;
    result.keptAs = aside;
    result.complete = false;
    std::fflush(stdout);
    std::fprintf(stderr, "Cannot write %s (%s); %s.\n", result.path.c_str(), std::strerror(error),
                 DescribeKeptFile(result.path, aside, "what this run wrote").c_str());
}

} // namespace

std::string ResultFilePath(const CvVideoFrontEnd& frontEnd, const char* suffix)
{
    return std::string(frontEnd.baseName) + suffix;
}

bool OpenResultFile(CvResultFile& result, const std::string& path)
{
    result.path = path;
    result.keptAs.clear();
    result.complete = false;
    ReportUnfinishedFiles(path);
    result.file = CreateBeside(path, result.fresh);
    if (!result.file) {
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
    // What the system could not store shows here, though every write seemed to succeed.
    if (fsync(fileno(result.file)) != 0) {
        GiveUp(result, errno);
        return;
    }
    // A link at the path is replaced by the rename, not followed.
    result.complete = true;
    result.keptAs = result.path;
    if (std::rename(result.fresh.c_str(), result.path.c_str()) != 0) {
        const int error = errno;
        result.keptAs = result.fresh;
        std::fflush(stdout);
        std::fprintf(stderr, "What this run wrote could not be named %s (%s); it is kept as %s.\n",
                     result.path.c_str(), std::strerror(error), result.fresh.c_str());
    }
    std::fclose(result.file);
    result.file = nullptr;
}
