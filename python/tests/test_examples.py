"""The examples run as people run them: on an MP4 that FFmpeg makes from the demo's kind of video."""

import os
import shutil
import subprocess
import sys

import pytest

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "examples")


def example(name, *args, cwd):
    result = subprocess.run([sys.executable, os.path.join(EXAMPLES, name), *map(str, args)], cwd=cwd,
                            capture_output=True, text=True, timeout=300, env={**os.environ, "DISPLAY": ""})
    assert result.returncode == 0, result.stderr[-2000:]
    return result.stdout


def test_examples_teach_track_draw_and_follow_a_stream(demo, tmp_path):
    if not shutil.which("ffmpeg"):
        pytest.skip("needs ffmpeg")
    subprocess.run(["ffmpeg", "-loglevel", "error", "-i", demo / "traffic.avi", "-c:v", "mpeg4", "-q:v", "2",
                    tmp_path / "traffic.mp4"], check=True)
    example("track_video.py", "traffic.mp4", demo / "traffic_gt.txt", "tracks.txt", "paths.png",
            "--teach-frames", "10", "--save", "upright.dat", cwd=tmp_path)
    rows = (tmp_path / "tracks.txt").read_text().splitlines()
    assert rows and all(len(row.split(",")) == 10 for row in rows)
    assert (tmp_path / "paths.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"

    assert (tmp_path / "upright.dat").exists()

    # A file stands for a stream here: the same memory follows the same frames to the same tracks.
    example("track_video.py", "traffic.mp4", "-", "tracks.txt", "paths.png", "--memory", demo / "taught.dat",
            "--upside-down", cwd=tmp_path)
    printed = example("follow_camera.py", "traffic.mp4", demo / "taught.dat", "--upside-down", "--no-window",
                      cwd=tmp_path)
    assert printed.splitlines() == (tmp_path / "tracks.txt").read_text().splitlines() != []
