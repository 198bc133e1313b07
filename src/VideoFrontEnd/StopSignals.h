#pragma once
// Ctrl+C, SIGTERM, SIGHUP and a broken pipe on standard output end a run the way the stop key does: the
// frame loop finishes its cycle and the program ends normally, keeping what the run made (Lanescope's
// memory file, a whole recording and data file).

/* Catches SIGINT, SIGTERM, SIGHUP and SIGPIPE so that they only ask the run to end. Once one of the first
   three has come, a second of the same kind ends the process at once; every write to a broken pipe raises
   SIGPIPE again, so later ones only fail that write and the run still ends as asked. A signal the process
   was started with ignored (a background job, nohup) stays ignored. */
void CatchStopSignals();

/* True once one of those signals has come; the frame loops test it once per cycle. */
bool StopRequested();
