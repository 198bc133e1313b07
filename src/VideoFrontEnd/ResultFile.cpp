#include "ResultFile.h"

#include "FreshFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void ReportFailure(const char* what, const std::string& path, int error)
{
    std::fflush(stdout);
    std::fprintf(stderr, "Cannot %s %s: %s\n", what, path.c_str(), std::strerror(error));
}

/* A new file made under a temporary name beside path and renamed over it: the rename replaces a symbolic
   link, a hard link or a file of another kind without ever opening it. Null with errno set on failure. */
std::FILE* CreateReplacing(const std::string& path)
{
    struct stat info;
    // A file its owner made read-only keeps its content, as it would if it were opened for writing.
    if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), W_OK) != 0)
        return nullptr;
    std::string name = path + ".XXXXXX";
    const int fd = cvcompat::CreateFreshFile(name, 0, cvcompat::DefaultFileMode());
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "w");
    if (!file || std::rename(name.c_str(), path.c_str()) != 0) {
        const int error = errno;
        if (file)
            std::fclose(file);
        else
            close(fd);
        unlink(name.c_str());
        errno = error;
        return nullptr;
    }
    return file;
}

} // namespace

std::string ResultFilePath(const CvVideoFrontEnd& frontEnd, const char* suffix)
{
    return std::string(frontEnd.baseName) + suffix;
}

bool OpenResultFile(CvResultFile& result, const std::string& path)
{
    result.path = path;
    result.file = CreateReplacing(path);
    if (!result.file)
        ReportFailure("create", path, errno);
    return result.file != nullptr;
}

void FlushResultFile(CvResultFile& result)
{
    if (result.file && (std::fflush(result.file) != 0 || std::ferror(result.file))) {
        ReportFailure("write", result.path, errno);
        std::fclose(result.file);
        result.file = nullptr;
    }
}

void CloseResultFile(CvResultFile& result)
{
    FlushResultFile(result);
    if (result.file && std::fclose(result.file) != 0)
        ReportFailure("write", result.path, errno);
    result.file = nullptr;
}
