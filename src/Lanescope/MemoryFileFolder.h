#pragma once
// The folders around a memory file: the file that a save replaces when the name is a symbolic link, the
// lock that the one program saving the file holds on its folders, and the unfinished saves left in them.

#include <string>

/* The file that a save of fileName replaces: fileName itself, or, when fileName is a symbolic link, the
   file at the end of its links (which need not exist yet), so that a memory kept elsewhere and linked into
   the folder is updated where it is kept. Empty with errno set when the links cannot be followed safely:
   a loop, or a link that another user planted in a folder that everyone may write (ELOOP, EACCES). */
std::string SavedFileOf(const char* fileName);

/* The name a save gives its new file before it takes savedFile's place: ".<leaf>.saving-XXXXXX" in the
   same folder, a hidden name with a fixed tag that no person gives a file, the X's made unique. */
std::string SaveTempPattern(const std::string& savedFile);

/* Removes the unfinished saves of savedFile that a program killed while saving left beside it: regular
   files of exactly the save's new-file name. The number removed. Only the holder of the lock may call it. */
int RemoveUnfinishedSaves(const std::string& savedFile);

/* The folders of a memory file, held locked by the one program that may save it. */
struct CvMemoryFileLock
{
    int folders[2]; /* the file's folder and, for a link, its target's when that is another; -1: not held */
};

/* What taking the lock of a memory file found. */
enum CvMemoryFileLockState {
    CV_MF_LOCKED = 0, /* held: no Lanescope run or teacher that locks too can save the file meanwhile */
    CV_MF_IN_USE,     /* another program holds a folder of the file; nothing is held */
    CV_MF_UNGUARDED   /* no folder could be opened or locked: nothing is held, the file is used unguarded */
};

/* Locks the folder of fileName and, when fileName links to a file in another folder, that folder too, so
   that two programs saving one memory never replace each other's file nor remove each other's new file. */
CvMemoryFileLockState LockMemoryFile(CvMemoryFileLock& lock, const char* fileName);

/* Releases what LockMemoryFile holds; harmless on a lock that holds nothing. */
void UnlockMemoryFile(CvMemoryFileLock& lock);
