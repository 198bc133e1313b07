"""What the package's tests share: the programs they compare with, a fresh folder per test, and the videos."""

import os
import shutil
import subprocess

import pytest

VTEST = "/usr/share/doc/opencv-doc/examples/data/vtest.avi"
VTEST_TRUTH = os.path.join(os.path.dirname(__file__), "..", "..", "tests", "data", "vtest_people_gt.txt")


def program(name):
    """The path of a program of the build, given by CTest in the environment."""
    path = os.environ.get(name)
    if not path:
        pytest.skip(f"{name} is not given in the environment")
    return path


def run(args, cwd, timeout=300):
    """Runs a program to its end without a display (the programs then show no window)."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    result = subprocess.run([str(a) for a in args], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=timeout)
    assert result.returncode == 0, f"{args[0]} exited {result.returncode}: {result.stderr[-2000:]}"
    return result


@pytest.fixture(scope="module")
def demo(tmp_path_factory):
    """The demo's kind of video (40 frames) and a memory LanescopeTeacher taught on its first 20."""
    folder = tmp_path_factory.mktemp("demo")
    run([program("MAKER"), "--frames", "40", "traffic.avi"], folder)
    run([program("TEACHER"), "traffic.avi", "traffic.csv", "taught.dat", "--frames", "20", "--every", "2"],
        folder)
    return folder


@pytest.fixture(scope="module")
def vtest(tmp_path_factory):
    """The first 24 frames of vtest.avi, as they are, and a memory taught on its people there."""
    if not os.path.exists(VTEST) or not shutil.which("ffmpeg"):
        pytest.skip("needs opencv-doc's vtest.avi and ffmpeg")
    folder = tmp_path_factory.mktemp("vtest")
    run(["ffmpeg", "-loglevel", "error", "-i", VTEST, "-frames:v", "24", "-c", "copy", "clip.avi"], folder)
    run([program("TEACHER"), "clip.avi", VTEST_TRUTH, "taught.dat"], folder)
    return folder
