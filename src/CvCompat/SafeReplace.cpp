#include "SafeReplace.h"

#include "FreshFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cvcompat {

namespace {

/* Why path cannot be replaced, or 0 (see BeginReplacement). */
int Refusal(const std::string& path, bool keepReadOnly)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return 0;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    if (keepReadOnly && S_ISREG(info.st_mode) && access(path.c_str(), W_OK) != 0)
        return errno;
    return 0;
}

/* Writes the count parts one after the other from offset on, going on after partial writes; false with
   errno set on a failure. */
bool WriteParts(int fd, const struct iovec* parts, int count, off_t offset)
{
    for (int i = 0; i < count; i++) {
        const unsigned char* bytes = static_cast<const unsigned char*>(parts[i].iov_base);
        size_t size = parts[i].iov_len;
        while (size > 0) {
            const ssize_t n = pwrite(fd, bytes, size, offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                errno = n == 0 ? EIO : errno;
                return false;
            }
            bytes += n;
            size -= static_cast<size_t>(n);
            offset += n;
        }
    }
    return true;
}

/* Rewrites path itself with the parts, for a folder that takes no new file beside it. A link is never
   written through. 0, or the errno of the failure. */
int RewriteInPlace(const std::string& path, const struct iovec* parts, int count)
{
    const int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    off_t total = 0;
    for (int i = 0; i < count; i++)
        total += static_cast<off_t>(parts[i].iov_len);
    struct stat info;
    int error = 0;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        error = EINVAL;
    else if (total > info.st_size)
        error = posix_fallocate(fd, 0, total);
    if (error == 0 && !(WriteParts(fd, parts, count, 0) && ftruncate(fd, total) == 0 && fsync(fd) == 0))
        error = errno != 0 ? errno : EIO;
    close(fd);
    return error;
}

/* Makes a completed rename in path's folder survive a crash of the machine; a failure here loses nothing
   already written. */
void SyncFolder(const std::string& path)
{
    const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

bool BeginReplacement(Replacement& r, const std::string& path, bool keepReadOnly)
{
    r.path = path;
    r.fresh.clear();
    r.fd = -1;
    if (const int refusal = Refusal(path, keepReadOnly)) {
        errno = refusal;
        return false;
    }
    r.fd = CreateLockedFileBeside(path, r.fresh);
    return r.fd >= 0;
}

bool SyncReplacement(const Replacement& r)
{
    return fsync(r.fd) == 0;
}

bool CommitReplacement(const Replacement& r)
{
    // A link at the path is replaced by the rename, not followed.
    return std::rename(r.fresh.c_str(), r.path.c_str()) == 0;
}

std::string KeepReplacementAsIncomplete(const Replacement& r)
{
    const std::string kept = KeepAsIncomplete(r.fresh, r.path);
    return kept.empty() ? r.fresh : kept;
}

void DiscardReplacement(Replacement& r)
{
    unlink(r.fresh.c_str());
    EndReplacement(r);
}

void EndReplacement(Replacement& r)
{
    if (r.fd >= 0)
        close(r.fd);
    r.fd = -1;
}

int ReplaceFile(const std::string& path, const std::string& pattern, mode_t mode, const struct iovec* parts,
                int count)
{
    if (const int refusal = Refusal(path, true))
        return refusal;
    Replacement r{path, pattern, -1};
    r.fd = CreateFreshFile(r.fresh, 0, mode);
    if (r.fd < 0) {
        const int error = errno;
        struct stat info;
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            return RewriteInPlace(path, parts, count);
        return error;
    }
    errno = 0;
    bool whole = WriteParts(r.fd, parts, count, 0) && SyncReplacement(r);
    int error = errno;
    whole = close(r.fd) == 0 && whole;
    r.fd = -1;
    if (whole && !CommitReplacement(r))
        whole = false;
    if (!whole) {
        error = error != 0 ? error : errno;
        DiscardReplacement(r);
        return error != 0 ? error : EIO;
    }
    SyncFolder(path);
    return 0;
}

} // namespace cvcompat
