#pragma once
// A run's use of the memory file: the lock on its folders for the whole run, the clean-up of saves that a
// killed program left unfinished, a file that cannot be used moved aside, and the save at the run's end.

#include "MemoryFile.h"
#include "MemoryFileFolder.h"

#include <string>

/* Why a memory file that was not read could not be used, as a clause: "it is a directory" and the like. */
std::string DescribeMemoryFileStatus(const CvMemoryFileStatus& status);

/* The memory file of one run of the tracker. */
struct CvMemoryFileSession
{
    const char* fileName;  /* the memory file; null before OpenMemoryFile */
    CvMemoryFileLock lock; /* the file's folders, held locked for the run */
    bool save;             /* false when the run must not replace the file at its end */
};

/* Starts a run's use of the memory file: locks its folders against other runs and the teacher, removes
   the new files that a program killed while saving left behind (saying how many on standard error), and
   loads the memory. A file that cannot be used is moved aside to a name never used before and reported on
   standard error, as is a folder that another program holds, in which case this run will not save. True
   when the memory was read. */
bool OpenMemoryFile(CvMemoryFileSession& session, CvAssociativeMemory& memory, const char* fileName);

/* Ends the run's use of the memory file: saves the memory unless the session must not, reports a failed
   save on standard error, and releases the folders. True when the memory was saved. */
bool CloseMemoryFile(CvMemoryFileSession& session, CvAssociativeMemory& memory);
