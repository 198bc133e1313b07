#pragma once
// The memory file: what the associative memory has learned, kept between runs behind an 11-byte header
// (a 7-byte signature, "AMv0.3" and a zero byte, then the little-endian 32-bit size of the packed image).

#include "CvAssociativeMemory.h"

/* Signature written into every memory file. */
extern const char CV_AM_FILE_SIGNATURE[7];
/* Signature of the older files that are still read. */
extern const char CV_AM_FILE_SIGNATURE_OLD[7];
/* Size of the header in front of the packed data image. */
const int CV_AM_FILE_HEADER = 11;

/* Rebuilds memory from the file and prints the load report; false when there is no usable file (a null
   name, a missing file, a foreign or short header, or a refused image), the memory then left as it was. */
bool LoadMemoryFile(CvAssociativeMemory& memory, const char* fileName);

/* Prunes the memory and replaces the file with it; a null name or a memory never created writes nothing,
   and a save that cannot complete leaves the old file as it was. */
void SaveMemoryFile(CvAssociativeMemory& memory, const char* fileName);
