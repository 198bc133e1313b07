#!/usr/bin/env python3
"""The cost of tracking from Python beside the work of the step itself, on the demo's kind of video.

    python3 python_step_timing.py VIDEO MEMORY [ROUNDS]

Each round tracks every frame of VIDEO with a fresh tracker over MEMORY (a memory file the programs made,
so frames are turned upside down as Lanescope turns them) and takes, per step, the time of the Python call
track(frame) and the time the call spent in the library's own work (Tracker.work_ms: turning the frame,
the grey image, SetImage and ObjectTracking, what Lanescope's frame cycle does besides drawing). What lies
between is Python's share: the argument's buffer, the GIL, the Track objects. The ratio of the two medians
over the rounds is printed; nothing is asserted, since shared machines make times noisy.
"""

import statistics
import sys
import time

import cv2

import lanescope


def processor():
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    return "unknown processor"


def main():
    video, memory_file = sys.argv[1], sys.argv[2]
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    capture = cv2.VideoCapture(video)
    frames = []
    while True:
        ok, frame = capture.read()
        if not ok:
            break
        frames.append(frame)
    if not frames:
        sys.exit("cannot read " + video)
    calls, works = [], []
    for _ in range(rounds):
        call_total = work_total = 0.0
        with lanescope.Tracker(lanescope.Memory.load(memory_file), upside_down=True) as tracker:
            for frame in frames:
                start = time.perf_counter()
                tracker.track(frame)
                call_total += (time.perf_counter() - start) * 1000.0
                work_total += tracker.work_ms
        calls.append(call_total / len(frames))
        works.append(work_total / len(frames))
    call, work = statistics.median(calls), statistics.median(works)
    print(f"{processor()}; {len(frames)} frames of {frames[0].shape[1]}x{frames[0].shape[0]}, {rounds} rounds: "
          f"Python step {call:.2f} ms, its own work {work:.2f} ms, Python's share {100.0 * (call - work) / work:.1f} %")


if __name__ == "__main__":
    main()
