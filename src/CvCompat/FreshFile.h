#pragma once
// A new file made beside the one it is to replace, so that what the programs write never goes through a
// link planted at the final name and an old file stays whole until the new one is renamed over it.

#include <string>
#include <sys/types.h>

namespace cvcompat {

/* Creates name exclusively, with permission bits mode: name ends in six X's followed by suffixLength more
   characters ("clip_out.XXXXXX.avi" with 4), and the X's are replaced to make a name no file has. Never
   opens an existing file or what a link points to. The open descriptor, or -1 with errno set. */
int CreateFreshFile(std::string& name, int suffixLength, mode_t mode);

/* The permission bits a newly created file gets: 0666 less the process's umask. */
mode_t DefaultFileMode();

} // namespace cvcompat
