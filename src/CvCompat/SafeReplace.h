#pragma once
// Replacing a file without ever leaving it half written: what a run writes goes into a fresh file made
// beside the one it replaces (exclusively, never through a link planted at either name), is handed to the
// file system, and takes the name by a rename only once it is whole. Until that rename the old file stays
// as it was; a link at the name is replaced, never written through. The recording, the data files of a
// recording run and the memory file all replace their files this way; they differ in how the fresh file is
// named and in what becomes of it when it cannot be finished.

#include <string>
#include <sys/types.h>
#include <sys/uio.h>

namespace cvcompat {

/* A fresh file on its way to taking another's place. */
struct Replacement
{
    std::string path;  /* the name it takes once it is whole */
    std::string fresh; /* its own name until then */
    int fd = -1;       /* the fresh file, open for writing; -1 when none is open */
};

/* Refuses a path that cannot be replaced, then creates r's fresh file for path as CreateLockedFileBeside
   does: locked while it stays open, which tells it from one that a run ended before finishing. A directory
   at path is refused (EISDIR: no rename would replace it) and, with keepReadOnly, so is a regular file
   there that its owner made read-only, which keeps its content as it would if it were opened for writing.
   False with errno set. */
bool BeginReplacement(Replacement& r, const std::string& path, bool keepReadOnly);

/* Hands what was written to r's fresh file to the file system, where a failure of the storage that no
   write reported shows. False with errno set. */
bool SyncReplacement(const Replacement& r);

/* Renames r's fresh file to its path. False with errno set; the fresh file then keeps its name. */
bool CommitReplacement(const Replacement& r);

/* For a fresh file that cannot be finished: renames it as KeepAsIncomplete does, so that an older file at
   the path stays. The name it is kept under: that one, or its own when that rename fails too. */
std::string KeepReplacementAsIncomplete(const Replacement& r);

/* Removes r's fresh file and closes it, for one that holds nothing worth keeping. */
void DiscardReplacement(Replacement& r);

/* Closes r's fresh file, which lets go of its lock; harmless when it is closed. Called after the rename, so
   that no other run takes a file of this one for unfinished meanwhile. */
void EndReplacement(Replacement& r);

/* Replaces path with the count parts, one after the other, at once: in a fresh file named from pattern (its
   last six characters X's, made unique) with permission bits mode, which is removed again after any
   failure. When path's folder takes no new file, a regular file at path that may be written is rewritten in
   place instead, its room claimed before the first byte changes, so that a full disk leaves its old
   content whole. A read-only file or a directory at path is refused as BeginReplacement refuses them. The
   folder is synced after the rename, so that the rename survives a crash of the machine. 0, or the errno
   of a failure, after which the file at path is as it was. */
int ReplaceFile(const std::string& path, const std::string& pattern, mode_t mode, const struct iovec* parts,
                int count);

} // namespace cvcompat
