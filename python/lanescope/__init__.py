"""Lanescope from Python: the associative memory, the tracker and the square finder of Lanescope and
Quadfinder on any frames, with the programs' own code and results.

    memory = lanescope.Memory.load("am.dat")          # or Memory.create(100, 100), then memory.teach(...)
    tracker = lanescope.Tracker(memory, upside_down=True)
    for frame in frames:                               # BGR uint8 images as cv2 reads them, or grey
        for track in tracker.track(frame):
            print(track.id, track.type, track.box, track.confidence)
    squares = lanescope.find_squares(frame)           # [((x1, y1), ..., (x4, y4)), ...]

The programs turn every frame upside down before they analyse it, so a memory taught by Lanescope or
LanescopeTeacher knows its objects upside down: give such a memory upside_down=True, and the tracks equal
Lanescope's tracks file line for line. A memory taught in Python from upright frames (upside_down=False,
the default) is an upright memory: use it upright, not with the programs.
"""

from ._lanescope import (
    Error,
    Event,
    FRAME_END,
    FRAME_START,
    LEARNED,
    Memory,
    MemoryFileError,
    NOT_RECOGNIZED,
    RECOGNIZED,
    TRACKED,
    Track,
    Tracker,
    find_squares,
)

__all__ = [
    "Error",
    "Event",
    "FRAME_END",
    "FRAME_START",
    "LEARNED",
    "Memory",
    "MemoryFileError",
    "NOT_RECOGNIZED",
    "RECOGNIZED",
    "TRACKED",
    "Track",
    "Tracker",
    "find_squares",
    "track_row",
]
__version__ = "1.0.0"


def track_row(frame, track):
    """The line of Lanescope's tracks file (MOTChallenge results) for track in frame number frame (from 1):
    "frame,id,left,top,width,height,confidence,type,-1,-1"."""
    x, y, width, height = track.box
    return "%d,%d,%d,%d,%d,%d,%.6g,%d,-1,-1" % (frame, track.id, x, y, width, height, track.confidence,
                                                track.type)
