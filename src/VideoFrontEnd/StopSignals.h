#pragma once
// Ctrl+C, SIGTERM and SIGHUP end a run the way the stop key does: the frame loop finishes its cycle and the
// program ends normally, keeping what the run made (Lanescope's memory file, a whole recording).

/* Catches SIGINT, SIGTERM and SIGHUP so that they only ask the run to end; once one has come, a second of
   the same kind ends the process at once. A signal the process was started with ignored (a background job,
   nohup) stays ignored. */
void CatchStopSignals();

/* True once one of those signals has come; the frame loops test it once per cycle. */
bool StopRequested();
