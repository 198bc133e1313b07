#pragma once
// Many videos at once: a batch runs each video exactly as a windowless run of its program would, in worker
// processes on all cores, writes each video's results whole beside it or into an output folder, skips the
// videos whose results are complete, and takes a deterministic shard of the list for a cluster's scheduler.
//
// The batch process itself never touches OpenCV: each video runs in a fresh worker, the tool executed again
// in its worker mode, so that no worker inherits another's threads or state, and a video that crashes its
// worker takes no other video with it.

#include <cstdint>
#include <string>
#include <vector>

/* Exit statuses of a worker, one per outcome of its video. */
enum CvBatchWorkerStatus {
    CV_BATCH_DONE = 0,           /* every requested result is whole under its unfinished name */
    CV_BATCH_NOT_OPENED = 3,     /* the video cannot be opened or decoded */
    CV_BATCH_NOT_WRITTEN = 4,    /* a result could not be written whole */
    CV_BATCH_NO_MEMORY = 5,      /* the memory file could not be used */
    CV_BATCH_STOPPED = 6,        /* a stop signal ended the video before its end */
    CV_BATCH_BAD_WORKER_ARGS = 7 /* the worker was started wrongly */
};

/* One video handed to a worker. */
struct CvBatchJob
{
    std::string video;      /* the video file */
    std::string outputBase; /* the results' path without their suffix (the unfinished names') */
    bool record = false;    /* write the recording "_out.avi" too */
    int threads = 0;        /* OpenCV threads of the worker; 0 leaves OpenCV's default */
    std::string memoryFile; /* the memory file the video starts from (Lanescope) */
};

/* What a worker found in its video. */
struct CvBatchCounts
{
    uint64_t frames = 0; /* frames analysed */
    uint64_t items = 0;  /* tracks (Lanescope) or squares (Quadfinder) written */
};

/* What sets one program's batch apart. */
struct CvBatchProgram
{
    const char* name;       /* the tool's name, for its help and messages */
    const char* program;    /* the program whose windowless run each video gets */
    const char* dataSuffix; /* the data file's suffix: "_tracks.txt" or "_squares.csv" */
    const char* itemName;   /* what the data file counts: "tracks" or "squares" */
    bool usesMemory;        /* each video starts from the memory file */
    /* Runs one video in the worker process; a CvBatchWorkerStatus. */
    int (*runVideo)(const CvBatchJob& job, CvBatchCounts& counts);
};

/* The options of a batch. */
struct CvBatchOptions
{
    std::vector<std::string> inputs;   /* videos, folders and @lists as given */
    std::string outFolder;             /* results folder; empty: beside each video */
    bool record = false;               /* write each video's recording too */
    bool force = false;                /* redo videos whose results are complete */
    int workers = 0;                   /* worker processes; 0: one per core the process may use */
    int shard = 1;                     /* which shard, 1..shardCount */
    int shardCount = 1;                /* how many shards the list is cut into */
    std::string memoryFile = "am.dat"; /* the memory every video starts from (Lanescope) */
};

/* One video of the batch and what became of it. */
struct CvBatchVideo
{
    std::string path;      /* the video as named */
    std::string finalBase; /* its results' path without suffix: "<folder>/<base>" */
    std::string outcome;   /* "done", "skipped (complete)", "failed: ..." or "stopped"; empty before */
    CvBatchCounts counts;  /* what its worker reported */
    double seconds = 0;    /* wall time of its worker */
    long peakKiB = 0;      /* the worker's peak resident memory (VmHWM) */
    bool failed = false;   /* counts against the exit status */
};

/* The tool's main: the batch, or with "--worker" as first argument one video in a worker. */
int RunBatchTool(const CvBatchProgram& program, int argc, char** argv);

/* Parses the batch's command line; false after a line on standard error (or the help, with help set). */
bool ParseBatchOptions(const CvBatchProgram& program, int argc, char** argv, CvBatchOptions& options,
                       bool& help);

/* The help text of the tool. */
void PrintBatchHelp(const CvBatchProgram& program);

/* Collects the videos named by inputs: a folder gives its files ending in ".avi" (in any case), "@file"
   the paths listed in file one per line (blank lines and lines beginning with '#' skipped), anything else
   is taken as a video. Sorted by path, each file once. False after a line on standard error when a folder
   or list cannot be read. */
bool CollectVideos(const std::vector<std::string>& inputs, std::vector<std::string>& videos);

/* The shard-th of count shards (1-based) of the sorted videos: every count-th one from the shard-th on, so
   that the count shards together take every video exactly once. */
std::vector<std::string> SelectShard(const std::vector<std::string>& videos, int shard, int count);

/* The results' path without suffix for video: outFolder (empty: the video's own folder) and the video's
   file name without its ".avi". */
std::string ResultBase(const std::string& video, const std::string& outFolder);

/* The unfinished name a worker writes a result under until the batch puts it in place. */
std::string UnfinishedBase(const std::string& finalBase);

/* The result files the batch asks of each video, as suffixes of its base. */
std::vector<std::string> ResultSuffixes(const CvBatchProgram& program, const CvBatchOptions& options);

/* True when every requested result of video exists and is newer than the video and, for Lanescope, than
   the memory file: results only take their names when whole. */
bool ResultsComplete(const CvBatchProgram& program, const CvBatchOptions& options, const CvBatchVideo& video);

/* Runs the videos in worker processes, options.workers at a time, and fills in each outcome; stops handing
   out videos on a stop signal and asks the running ones to stop. False, with nothing run, when the memory
   file cannot be read. */
bool RunBatchPool(const CvBatchProgram& program, const CvBatchOptions& options,
                  std::vector<CvBatchVideo>& videos);

/* One video in this process, the worker: the arguments after "--worker". Its exit status. */
int RunBatchWorker(const CvBatchProgram& program, int argc, char** argv);

/* The batch's progress on standard error when that is a terminal: videos done of the total, frames per
   second and the time left, redrawn in place. */
struct CvBatchProgress
{
    bool active = false;   /* standard error is a terminal */
    std::size_t total = 0; /* videos of the batch (this shard) */
    std::size_t done = 0;  /* videos finished, skipped or failed */
    std::size_t ran = 0;   /* videos whose worker has ended */
    std::size_t toRun = 0; /* videos that need a worker, as far as known */
    uint64_t frames = 0;   /* frames of the videos whose worker has ended */
    double start = 0;      /* seconds on the steady clock at the start */
    double shown = 0;      /* seconds on the steady clock at the last drawing */
};

/* Seconds on the steady clock. */
double BatchClock();

/* Starts the line for total videos. */
void StartBatchProgress(CvBatchProgress& progress, std::size_t total);

/* Redraws the line, at once with now, else when the last drawing is at least half a second old. */
void DrawBatchProgress(CvBatchProgress& progress, bool now);

/* Clears the line so that a message can take its place; the next drawing brings it back. */
void ClearBatchProgress(const CvBatchProgress& progress);

/* Ends the line, so that what follows starts on a line of its own. */
void EndBatchProgress(CvBatchProgress& progress);

/* Prints the summary of the batch on standard output: every video with its frames, items, time and
   outcome, then the totals. */
void PrintBatchSummary(const CvBatchProgram& program, const CvBatchOptions& options,
                       const std::vector<CvBatchVideo>& videos, double seconds);
