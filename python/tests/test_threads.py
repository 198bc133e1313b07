"""Trackers in threads: each gives what it gives alone, and the steps run side by side (the tracking step
releases the GIL). The time is reported, never asserted: the machines are shared."""

import threading
import time

import cv2

import lanescope


def track_all(memory_file, frames, rows):
    with lanescope.Tracker(lanescope.Memory.load(memory_file), upside_down=True) as tracker:
        rows.extend(lanescope.track_row(n, t) for n, frame in enumerate(frames, 1) for t in tracker.track(frame))


def test_two_trackers_in_threads_match_one_thread(demo, capsys):
    capture = cv2.VideoCapture(str(demo / "traffic.avi"))
    frames = []
    while True:
        ok, frame = capture.read()
        if not ok:
            break
        frames.append(frame)
    memory_file = demo / "taught.dat"

    # OpenCV's own threads already share a step's work out; with one of them the threads' share shows alone.
    figures = []
    for opencv_threads in (cv2.getNumThreads(), 1):
        cv2.setNumThreads(opencv_threads)
        alone = [[], []]
        start = time.perf_counter()
        for rows in alone:
            track_all(memory_file, frames, rows)
        one_thread = time.perf_counter() - start

        together = [[], []]
        threads = [threading.Thread(target=track_all, args=(memory_file, frames, rows)) for rows in together]
        start = time.perf_counter()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        two_threads = time.perf_counter() - start

        assert together == alone and alone[0] == alone[1] and alone[0]
        figures.append(f"OpenCV threads {opencv_threads}: one thread {one_thread:.2f} s, two threads "
                       f"{two_threads:.2f} s, speed-up {one_thread / two_threads:.2f}")
    cv2.setNumThreads(-1)
    with capsys.disabled():
        print(f"\nTwo trackers, {len(frames)} frames each; " + "; ".join(figures))
