#include "FreshFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cvcompat {

namespace {

/* The random part that CreateFreshFile fills in. */
const std::string CV_FRESH_UNIQUE = ".XXXXXX";

/* A path as names beside it are made from it: "dir/clip_out.avi" is "dir/", "clip_out" and ".avi". */
struct PathParts
{
    std::string folder; /* up to and including the last slash; empty for a bare name */
    std::string stem;   /* the last component up to its last dot */
    std::string ending; /* from that dot on; empty when there is none */
};

PathParts SplitPath(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        dot = path.size();
    return {path.substr(0, nameStart), path.substr(nameStart, dot - nameStart), path.substr(dot)};
}

/* The name beside parts with infix between stem and ending. The stem is shortened so that the name fits
   wherever one of the longest allowed length does, never inside a character of several bytes. */
std::string NameBeside(const PathParts& parts, const std::string& infix)
{
    const std::size_t fixed = infix.size() + parts.ending.size();
    std::size_t keep = std::min(parts.stem.size(), fixed < NAME_MAX ? NAME_MAX - fixed : 0);
    // A UTF-8 continuation byte (10xxxxxx) would start the cut part in the middle of a character.
    while (keep > 0 && keep < parts.stem.size() &&
           (static_cast<unsigned char>(parts.stem[keep]) & 0xC0) == 0x80)
        --keep;
    return parts.folder + parts.stem.substr(0, keep) + infix + parts.ending;
}

/* True when leaf is a name that NameBeside gives for CV_FRESH_UNIQUE once the X's are filled in. */
bool IsFreshName(const std::string& leaf, const std::string& pattern, std::size_t uniqueAt)
{
    // The dot before the unique part is compared with the stem.
    if (leaf.size() != pattern.size() || leaf.compare(0, uniqueAt + 1, pattern, 0, uniqueAt + 1) != 0)
        return false;
    const std::size_t after = uniqueAt + CV_FRESH_UNIQUE.size();
    if (leaf.compare(after, std::string::npos, pattern, after, std::string::npos) != 0)
        return false;
    return std::all_of(
        leaf.begin() + static_cast<long>(uniqueAt) + 1, leaf.begin() + static_cast<long>(after),
        [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

/* True when name is a regular file that no process holds locked. Nothing else is ever opened, so that a
   device or a pipe planted under such a name cannot be set off or make the caller wait. */
bool IsAbandoned(const std::string& name)
{
    struct stat info;
    if (lstat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const int fd = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool abandoned =
        fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_SH | LOCK_NB) == 0;
    close(fd);
    return abandoned;
}

} // namespace

int CreateFreshFile(std::string& name, int suffixLength, mode_t mode)
{
    const int fd = mkostemps(&name[0], suffixLength, O_CLOEXEC);
    // mkostemps makes the file for its owner alone; it gets the access the caller asks for.
    if (fd >= 0)
        fchmod(fd, mode);
    return fd;
}

mode_t DefaultFileMode()
{
    // The mask can only be read by setting it, so it is put straight back.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

int CreateLockedFileBeside(const std::string& path, std::string& name)
{
    const PathParts parts = SplitPath(path);
    name = NameBeside(parts, CV_FRESH_UNIQUE);
    // The access a file that the encoder or the C library made itself would have.
    const int fd = CreateFreshFile(name, static_cast<int>(parts.ending.size()), DefaultFileMode());
    // Another run that looks for unfinished files holds a new file's lock for a moment at most.
    if (fd >= 0)
        flock(fd, LOCK_EX);
    return fd;
}

std::vector<std::string> FindUnfinishedFiles(const std::string& path)
{
    const PathParts parts = SplitPath(path);
    const std::string pattern = NameBeside(parts, CV_FRESH_UNIQUE).substr(parts.folder.size());
    const std::size_t uniqueAt = pattern.size() - parts.ending.size() - CV_FRESH_UNIQUE.size();
    std::vector<std::string> found;
    DIR* dir = opendir(parts.folder.empty() ? "." : parts.folder.c_str());
    if (!dir)
        return found;
    while (const struct dirent* entry = readdir(dir)) {
        const std::string name = parts.folder + entry->d_name;
        if (IsFreshName(entry->d_name, pattern, uniqueAt) && IsAbandoned(name))
            found.push_back(name);
    }
    closedir(dir);
    return found;
}

std::string KeepAsIncomplete(const std::string& fresh, const std::string& path)
{
    const PathParts parts = SplitPath(path);
    for (int n = 1; n <= 100000; n++) {
        std::string name = NameBeside(parts, ".incomplete-" + std::to_string(n));
        if (renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0)
            return name;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return "";
        // A file system that cannot refuse to replace in a rename refuses in a link, and the fresh name
        // then goes.
        if (link(fresh.c_str(), name.c_str()) == 0) {
            unlink(fresh.c_str());
            return name;
        }
        if (errno != EEXIST)
            return "";
    }
    errno = EEXIST;
    return "";
}

} // namespace cvcompat
