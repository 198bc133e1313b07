"""Hostile input from Python gives a clear exception, never a crash, and never costs a file."""

import fcntl
import os

import numpy as np
import pytest

import lanescope


def test_frames_that_are_no_images_are_refused():
    memory = lanescope.Memory.create(40, 40)
    tracker = lanescope.Tracker(memory)
    good = np.zeros((60, 80, 3), np.uint8)
    bad = [
        (TypeError, np.zeros((60, 80, 3), np.float32)),
        (TypeError, np.zeros((60, 80, 3), np.uint16)),
        (TypeError, [[1, 2], [3, 4]]),
        (TypeError, None),
        (ValueError, np.zeros((0, 0, 3), np.uint8)),
        (ValueError, np.zeros((60, 0), np.uint8)),
        (ValueError, np.zeros(80, np.uint8)),
        (ValueError, np.zeros((60, 80, 4), np.uint8)),
        (ValueError, np.zeros((60, 80, 3, 1), np.uint8)),
        (ValueError, np.zeros((60, 160, 3), np.uint8)[:, ::2]),
        (ValueError, np.zeros((60, 80, 3), np.uint8)[::-1]),
        (ValueError, np.zeros((3, 60, 80), np.uint8).transpose(1, 2, 0)),
    ]
    for error, frame in bad:
        with pytest.raises(error):
            tracker.track(frame)
        with pytest.raises(error):
            lanescope.find_squares(frame)
        with pytest.raises(error):
            memory.teach(frame, (0, 0, 40, 40), 1)
    # A crop keeps its rows apart and is seen in place; grey frames are taken too.
    assert tracker.track(np.zeros((80, 100, 3), np.uint8)[10:70, 10:90]) is not None
    assert lanescope.find_squares(np.zeros((60, 80), np.uint8)) == []
    with pytest.raises(ValueError, match="one size"):
        tracker.track(np.zeros((61, 80, 3), np.uint8))
    with pytest.raises(ValueError):
        memory.teach(good, (0, 0, 40, 40), 257)
    with pytest.raises(ValueError):
        memory.teach(good, (2**30, 0, 40, 40), 1)
    with pytest.raises(lanescope.Error, match="CvAssociativeMemory::Write: Incorrect size interest area"):
        memory.teach(good, (60, 0, 40, 40), 1)
    with pytest.raises(ValueError, match="too large"):
        lanescope.Memory.create(2**31 - 1, 2**31 - 1)


def test_closed_memories_and_shared_ones_are_refused(tmp_path):
    memory = lanescope.Memory.create(40, 40)
    tracker = lanescope.Tracker(memory)
    with pytest.raises(ValueError, match="already serves a tracker"):
        lanescope.Tracker(memory)
    tracker.close()
    with pytest.raises(ValueError, match="closed"):
        tracker.track(np.zeros((60, 80, 3), np.uint8))
    lanescope.Tracker(memory).close()
    memory.close()
    for use in (lambda: memory.bases, lambda: memory.save(tmp_path / "am.dat"), lambda: lanescope.Tracker(memory),
                lambda: memory.teach(np.zeros((60, 80, 3), np.uint8), (0, 0, 40, 40), 1)):
        with pytest.raises(ValueError, match="closed"):
            use()
    assert not os.path.exists(tmp_path / "am.dat")


def test_unusable_memory_files_are_refused_and_left_as_they_are(tmp_path):
    folder = tmp_path / "am.dat"
    folder.mkdir()
    with pytest.raises(lanescope.MemoryFileError, match="it is a directory"):
        lanescope.Memory.load(folder)
    foreign = tmp_path / "notes.txt"
    foreign.write_text("not a memory\n")
    with pytest.raises(lanescope.MemoryFileError, match="not a memory file"):
        lanescope.Memory.load(foreign)
    with pytest.raises(FileNotFoundError):
        lanescope.Memory.load(tmp_path / "missing.dat")
    with pytest.raises(ValueError, match="null"):
        lanescope.Memory.load(str(foreign) + "\0.dat")

    memory = lanescope.Memory.create(40, 40)
    for target in (folder, foreign):
        with pytest.raises(lanescope.MemoryFileError):
            memory.save(target)
    assert folder.is_dir() and foreign.read_text() == "not a memory\n"

    # While a Lanescope run or the teacher holds the folder, a save waits for nothing and writes nothing.
    held = os.open(tmp_path, os.O_RDONLY)
    try:
        fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
        with pytest.raises(lanescope.MemoryFileError, match="in use"):
            memory.save(tmp_path / "new.dat")
    finally:
        os.close(held)
    assert not os.path.exists(tmp_path / "new.dat")
    memory.save(tmp_path / "new.dat")
    assert lanescope.Memory.load(tmp_path / "new.dat").area == (40, 40)
