#pragma once
// Data files that a recording run writes beside its output video (Lanescope's tracks, Quadfinder's
// squares). Each is filled in a fresh file beside its name and flushed frame by frame, so that a run that
// is cut short leaves every frame it finished there; only a file written whole takes the name, at the end
// of the run, so that the file under the name is always complete and from one run.

#include "SafeReplace.h"
#include "VideoFrontEnd.h"

#include <cstdio>
#include <string>

/* One data file of a recording run. */
struct CvResultFile
{
    std::FILE* file = nullptr;         /* the open fresh file; null when not writing */
    cvcompat::Replacement replacement; /* its name at the end and its name until then */
    std::string keptAs;                /* the name the run left it under: the path once it is whole; empty
                                          for none */
    bool complete = false;             /* every write succeeded: keptAs holds all the run wrote */
};

/* The name of a data file of the run: the base name of the output video followed by suffix, so that
   "clip_out.avi" gets "clip" + suffix and a camera's "_out.avi" gets suffix alone. */
std::string ResultFilePath(const CvVideoFrontEnd& frontEnd, const char* suffix);

/* Names the files that earlier runs left unfinished for path, then creates the fresh file for path. A
   directory at path, or a file there that its owner made read-only, is left alone and refused. False after
   one line on standard error naming the file. */
bool OpenResultFile(CvResultFile& result, const std::string& path);

/* Hands what was written so far to the system. After a write that failed the run goes on without the
   file: it is kept under a name that says it is incomplete, any older file at path stays, and one line on
   standard error says so. */
void FlushResultFile(CvResultFile& result);

/* Flushes the file and, when every write succeeded, puts it in place under its path; a failure is handled
   as FlushResultFile does, a rename that fails is said on standard error. Nothing when not open. */
void CloseResultFile(CvResultFile& result);
