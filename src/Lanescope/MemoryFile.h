#pragma once
// The memory file: what the associative memory has learned, kept between runs behind an 11-byte header
// (a 7-byte signature, "AMv0.3" and a zero byte, then the little-endian 32-bit size of the packed image).
// Loading one file and saving one; a run's use of the file around them is MemoryFileSession's.

#include "CvAssociativeMemory.h"

#include <cstdio>
#include <string>

/* Signature written into every memory file. */
extern const char CV_AM_FILE_SIGNATURE[7];
/* Signature of the older files that are still read. */
extern const char CV_AM_FILE_SIGNATURE_OLD[7];
/* Size of the header in front of the packed data image. */
const int CV_AM_FILE_HEADER = 11;

/* Why a memory file was or was not read. */
enum CvMemoryFileState {
    CV_MF_READ = 0,        /* the memory was rebuilt from the file */
    CV_MF_MISSING,         /* no file of that name (or a null name) */
    CV_MF_UNREADABLE,      /* the file exists but cannot be opened or read */
    CV_MF_DIRECTORY,       /* the name is taken by a directory */
    CV_MF_NOT_REGULAR,     /* a named pipe, socket or device: never opened for reading */
    CV_MF_FOREIGN,         /* not a memory file */
    CV_MF_UNKNOWN_VERSION, /* a memory file signature of a version that is not read */
    CV_MF_DAMAGED          /* cut short, or an image that the memory refuses */
};

/* What a load found: its state and, for an unreadable file, the system's error number. */
struct CvMemoryFileStatus
{
    CvMemoryFileState state;
    int error;
};

/* Rebuilds memory from the file and prints the load report onto report (the console by default, nowhere
   when NULL); false when there is no usable file (a null name, a missing file, a foreign or short header,
   or a refused image), the memory then left as it was. A file that is not a regular file is never opened
   for reading. status, when given, says why. */
bool LoadMemoryFile(CvAssociativeMemory& memory, const char* fileName, CvMemoryFileStatus* status = NULL,
                    std::FILE* report = stdout);

/* Prunes the memory and replaces the file with it; a null name or a memory never created writes nothing,
   and a save that cannot complete leaves the old file as it was. A symbolic link stays and the file it
   leads to is replaced (see SavedFileOf). failure, when given, is left empty after a save or when nothing
   was to be written, and otherwise says why the save failed. */
void SaveMemoryFile(CvAssociativeMemory& memory, const char* fileName, std::string* failure = NULL);
