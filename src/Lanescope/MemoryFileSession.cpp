#include "MemoryFileSession.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace {

/* Moves fileName to fileName.unusable-<n>, with the first n whose name is free; the new name, or nothing
   with errno set. An existing file is never replaced. */
std::string MoveAside(const char* fileName)
{
    for (int n = 1; n <= 100000; n++) {
        std::string aside = std::string(fileName) + ".unusable-" + std::to_string(n);
        if (renameat2(AT_FDCWD, fileName, AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return "";
        // A file system that cannot refuse to replace: the name is tested first, and the folder's lock
        // keeps the other runs of the tracker from taking it meanwhile.
        struct stat info;
        if (lstat(aside.c_str(), &info) == 0)
            continue;
        return std::rename(fileName, aside.c_str()) == 0 ? aside : "";
    }
    errno = EEXIST;
    return "";
}

/* Removes the unfinished saves of fileName, and of the file it links to, and says how many there were. */
void ClearUnfinishedSaves(const char* fileName)
{
    const std::string saved = SavedFileOf(fileName);
    int removed = RemoveUnfinishedSaves(fileName);
    if (!saved.empty() && saved != fileName)
        removed += RemoveUnfinishedSaves(saved);
    if (removed > 0)
        std::fprintf(stderr, "Removed %d unfinished save%s of %s left by an earlier run\n", removed,
                     removed == 1 ? "" : "s", fileName);
}

/* Moves a file that could not be used out of the way of the save, when the session may save, and says
   what became of it. */
void SetAsideUnusable(CvMemoryFileSession& session, const CvMemoryFileStatus& status)
{
    const char* fileName = session.fileName;
    const std::string why = DescribeMemoryFileStatus(status);
    if (!session.save) {
        // The folder belongs to the other program; the file stays where it is.
        std::fprintf(stderr, "%s could not be used (%s); a fresh memory is used\n", fileName, why.c_str());
        return;
    }
    const std::string aside = status.state == CV_MF_DIRECTORY ? "" : MoveAside(fileName);
    if (aside.empty()) {
        const std::string kept = status.state == CV_MF_DIRECTORY
                                     ? std::string("it is left as it is")
                                     : std::string("it could not be moved aside (") + std::strerror(errno) +
                                           ") and is left as it is";
        session.save = false;
        std::fprintf(
            stderr,
            "%s could not be used (%s); %s, a fresh memory is used and what this run learns will not "
            "be saved\n",
            fileName, why.c_str(), kept.c_str());
    } else {
        std::fprintf(stderr, "%s could not be used (%s); it is kept as %s and a fresh memory is used\n",
                     fileName, why.c_str(), aside.c_str());
    }
}

} // namespace

std::string DescribeMemoryFileStatus(const CvMemoryFileStatus& status)
{
    switch (status.state) {
    case CV_MF_UNREADABLE:
        return std::string("it cannot be read: ") + std::strerror(status.error);
    case CV_MF_DIRECTORY:
        return "it is a directory";
    case CV_MF_NOT_REGULAR:
        return "it is not a regular file";
    case CV_MF_FOREIGN:
        return "it is not a memory file";
    case CV_MF_UNKNOWN_VERSION:
        return "it is a memory file of an unknown version";
    default:
        return "it is damaged or cut short";
    }
}

bool OpenMemoryFile(CvMemoryFileSession& session, CvAssociativeMemory& memory, const char* fileName)
{
    session.fileName = fileName;
    session.lock.folders[0] = session.lock.folders[1] = -1;
    session.save = fileName != NULL;
    if (!fileName)
        return false;
    const CvMemoryFileLockState lock = LockMemoryFile(session.lock, fileName);
    if (lock == CV_MF_IN_USE) {
        session.save = false;
        std::fprintf(
            stderr,
            "%s is in use by another Lanescope run or by LanescopeTeacher; what this run learns will "
            "not be saved\n",
            fileName);
    } else if (lock == CV_MF_LOCKED) {
        ClearUnfinishedSaves(fileName);
    }

    CvMemoryFileStatus status;
    if (LoadMemoryFile(memory, fileName, &status))
        return true;
    if (status.state != CV_MF_MISSING)
        SetAsideUnusable(session, status);
    return false;
}

bool CloseMemoryFile(CvMemoryFileSession& session, CvAssociativeMemory& memory)
{
    bool saved = false;
    if (session.save) {
        std::string failure;
        SaveMemoryFile(memory, session.fileName, &failure);
        saved = failure.empty() && memory.root != NULL;
        if (!failure.empty())
            std::fprintf(stderr,
                         "What was learned in this run could not be saved to %s (%s); %s is left as it was\n",
                         session.fileName, failure.c_str(), session.fileName);
    }
    UnlockMemoryFile(session.lock);
    return saved;
}
