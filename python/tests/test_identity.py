"""The package gives what the programs give: Lanescope's tracks file and Quadfinder's squares file, line for
line, from the same frames as cv2 reads them and the same memory."""

import shutil

import cv2
import pytest

import lanescope
from conftest import program, run


def frames(video):
    capture = cv2.VideoCapture(str(video))
    while True:
        ok, frame = capture.read()
        if not ok:
            return
        yield frame


def python_tracks(memory_file, video):
    memory = lanescope.Memory.load(memory_file)
    with lanescope.Tracker(memory, upside_down=True) as tracker:
        return [lanescope.track_row(number, track)
                for number, frame in enumerate(frames(video), 1) for track in tracker.track(frame)]


def python_squares(video):
    rows = []
    for number, frame in enumerate(frames(video), 1):
        for square in lanescope.find_squares(frame, upside_down=True):
            rows.append(",".join([str(number)] + [str(v) for corner in square for v in corner]))
    return rows


def lanescope_tracks(folder, video):
    shutil.copy(folder / "taught.dat", folder / "am.dat")
    run([program("LANESCOPE"), video, "/r"], folder)
    return (folder / video.replace(".avi", "_tracks.txt")).read_text().splitlines()


def quadfinder_squares(folder, video):
    run([program("QUADFINDER"), video, "/r"], folder)
    rows = (folder / video.replace(".avi", "_squares.csv")).read_text().splitlines()[1:]
    # The position column is the capture's clock, which the package does not see.
    return [",".join(row.split(",")[:1] + row.split(",")[2:]) for row in rows]


@pytest.mark.parametrize("video", ["demo", "vtest"])
def test_tracks_and_squares_equal_the_programs_files(video, request):
    folder = request.getfixturevalue(video)
    name = "traffic.avi" if video == "demo" else "clip.avi"
    expected = lanescope_tracks(folder, name)
    assert len(expected) > 10, "the program tracked too little for a comparison"
    got = python_tracks(folder / "taught.dat", folder / name)
    assert got == expected

    expected = quadfinder_squares(folder, name)
    assert python_squares(folder / name) == expected
