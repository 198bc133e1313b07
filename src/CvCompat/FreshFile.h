#pragma once
// A new file made beside the one it is to replace, so that what the programs write never goes through a
// link planted at the final name and an old file stays whole until the new one is renamed over it; and
// what becomes of such a file when its run cannot finish it.

#include <string>
#include <sys/types.h>
#include <vector>

namespace cvcompat {

/* Creates name exclusively, with permission bits mode: name ends in six X's followed by suffixLength more
   characters ("clip_out.XXXXXX.avi" with 4), and the X's are replaced to make a name no file has. Never
   opens an existing file or what a link points to. The open descriptor, or -1 with errno set. */
int CreateFreshFile(std::string& name, int suffixLength, mode_t mode);

/* The permission bits a newly created file gets: 0666 less the process's umask. */
mode_t DefaultFileMode();

/* The folder that holds path, ending in a slash; "./" for a bare name. */
std::string FolderOf(const std::string& path);

/* Creates the file that a run fills in place of path: beside it, named as path with a dot and six random
   letters or digits before its ending ("clip_out.avi" gives "clip_out.Ab12Cd.avi"; the ending tells the
   encoder its container), the stem shortened when that name would not fit in a folder. The file is locked
   while it stays open, which tells it from one that a run ended before finishing. The open descriptor, with
   name set, or -1 with errno set. */
int CreateLockedFileBeside(const std::string& path, std::string& name);

/* The files that CreateLockedFileBeside made for path and that no process holds open any longer: what runs
   that ended before finishing left behind. Named as path is (with its folder), in the folder's order. */
std::vector<std::string> FindUnfinishedFiles(const std::string& path);

/* Renames fresh, a file of CreateLockedFileBeside, to path's name with ".incomplete-<n>" before its ending
   ("clip_out.incomplete-1.avi"), for the first n whose name is free; an existing file is never replaced.
   The new name, or empty with errno set when fresh keeps its name. */
std::string KeepAsIncomplete(const std::string& fresh, const std::string& path);

} // namespace cvcompat
