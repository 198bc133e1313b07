#include "MemoryFileFolder.h"

#include "FreshFile.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/* The tag between the file's name and the six unique characters of a save's new file. */
const char CV_MF_SAVING_TAG[] = ".saving-";
/* Links followed before a chain of them counts as a loop, as the system itself counts them. */
const int CV_MF_MAX_LINKS = 40;

/* The last component of fileName. */
std::string LeafOf(const std::string& fileName)
{
    const size_t slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

/* True when the link at path, described by info, may be followed by a save. */
bool MayFollow(const std::string& path, const struct stat& info)
{
    // The guard the system offers against links planted in shared folders, kept although the save reads
    // the links itself: in a folder that everyone may write and only owners may delete from (/tmp, say),
    // only the user's own links and those of the folder's owner are followed.
    struct stat folder;
    if (info.st_uid == geteuid())
        return true;
    if (stat(cvcompat::FolderOf(path).c_str(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || folder.st_uid == info.st_uid;
}

/* True for name when it is tag followed by exactly six letters or digits, as the save makes its names. */
bool IsUnfinishedSave(const std::string& name, const std::string& tag)
{
    if (name.size() != tag.size() + 6 || name.compare(0, tag.size(), tag) != 0)
        return false;
    for (size_t i = tag.size(); i < name.size(); i++) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

/* True when the two descriptors are of one file. */
bool SameFile(int a, int b)
{
    struct stat x, y;
    return fstat(a, &x) == 0 && fstat(b, &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

} // namespace

std::string SavedFileOf(const char* fileName)
{
    std::string path = fileName;
    for (int links = 0; links < CV_MF_MAX_LINKS; links++) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        if (!MayFollow(path, info)) {
            errno = EACCES;
            return "";
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length <= 0) {
            errno = length == 0 ? ENOENT : errno;
            return "";
        }
        target[length] = '\0';
        // A relative link names its target from the link's own folder.
        path = target[0] == '/' ? std::string(target) : cvcompat::FolderOf(path) + target;
    }
    errno = ELOOP;
    return "";
}

std::string SaveTempPattern(const std::string& savedFile)
{
    return cvcompat::FolderOf(savedFile) + "." + LeafOf(savedFile) + CV_MF_SAVING_TAG + "XXXXXX";
}

int RemoveUnfinishedSaves(const std::string& savedFile)
{
    // Only names of the save's own making are removed: a user's "am.dat.backup" or "am.dat.old123" is
    // theirs, and so are the files that older runs named "am.dat." and six characters.
    const std::string folder = cvcompat::FolderOf(savedFile);
    const std::string tag = "." + LeafOf(savedFile) + CV_MF_SAVING_TAG;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const struct dirent* entry = readdir(dir)) {
        const std::string path = folder + entry->d_name;
        struct stat info;
        if (IsUnfinishedSave(entry->d_name, tag) && lstat(path.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode) && unlink(path.c_str()) == 0)
            removed++;
    }
    closedir(dir);
    return removed;
}

CvMemoryFileLockState LockMemoryFile(CvMemoryFileLock& lock, const char* fileName)
{
    // The lock is on the folders, not on the file: the save renames a new file over the old one, so a lock
    // on the file would guard an inode that the first save to end replaces; a missing file must stay
    // missing until a save makes it; and a companion lock file would be left in the folder and could not
    // be made in a read-only one. The folder is there, the same one, for the whole run. A linked file is
    // saved in its target's folder, which other folders' links may share, so that folder is locked too.
    lock.folders[0] = lock.folders[1] = -1;
    const std::string saved = SavedFileOf(fileName);
    const std::string folders[2] = {cvcompat::FolderOf(fileName),
                                    saved.empty() ? "" : cvcompat::FolderOf(saved)};
    bool inUse = false;
    for (int i = 0; i < 2 && !inUse; i++) {
        const int fd = folders[i].empty() ? -1 : open(folders[i].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A folder reached twice is locked once: locking it again would find it taken by this very lock.
        if (i == 1 && lock.folders[0] >= 0 && SameFile(fd, lock.folders[0])) {
            close(fd);
            continue;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lock.folders[i] = fd;
            continue;
        }
        inUse = errno == EWOULDBLOCK;
        close(fd);
    }
    if (inUse) {
        UnlockMemoryFile(lock);
        return CV_MF_IN_USE;
    }
    // A folder that cannot be opened or locked at all is used as before, unguarded.
    return lock.folders[0] >= 0 || lock.folders[1] >= 0 ? CV_MF_LOCKED : CV_MF_UNGUARDED;
}

void UnlockMemoryFile(CvMemoryFileLock& lock)
{
    for (int& fd : lock.folders) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}
