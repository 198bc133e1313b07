"""The build backend of `pip install .`: CMake builds the extension module of the package lanescope against
the system's OpenCV, and the wheel is packed here with Python's standard library alone, so that pip needs
nothing from a package index, not even with build isolation."""

import base64
import hashlib
import os
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

NAME = "lanescope"
VERSION = "1.0.0"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DIST_INFO = f"{NAME}-{VERSION}.dist-info"


def get_requires_for_build_wheel(config_settings=None):
    """Nothing beyond the standard library, CMake and the system's packages."""
    return []


def _wheel_tag():
    """The tag of a wheel holding an extension module of the running Python: cp311-cp311-linux_x86_64."""
    python = "cp%d%d" % sys.version_info[:2]
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{python}-{python}-{platform}"


def _build_package(build_dir):
    """Builds the module for the Python that runs this backend; the folder of the built package."""
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
    # pip shows the build's output on failure; standard output belongs to pip's protocol.
    subprocess.check_call(["cmake", "-S", ROOT, "-B", build_dir, *generator, "-DCMAKE_BUILD_TYPE=Release",
                           "-DLANESCOPE_TESTS=OFF", "-DLANESCOPE_BENCHMARKS=OFF", "-DLANESCOPE_PYTHON=ON",
                           f"-DPython3_EXECUTABLE={sys.executable}"], stdout=sys.stderr)
    subprocess.check_call(["cmake", "--build", build_dir, "--target", "_lanescope", "-j", jobs], stdout=sys.stderr)
    return os.path.join(build_dir, "python", NAME)


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    """Builds the module and packs the package into a wheel in wheel_directory; the wheel's file name."""
    tag = _wheel_tag()
    wheel_name = f"{NAME}-{VERSION}-{tag}.whl"
    with tempfile.TemporaryDirectory(prefix="lanescope-build-") as build_dir:
        package = _build_package(build_dir)
        files = {}
        for leaf in sorted(os.listdir(package)):
            if leaf.endswith(".py") or leaf.endswith(".so"):
                with open(os.path.join(package, leaf), "rb") as f:
                    files[f"{NAME}/{leaf}"] = f.read()
    files[f"{DIST_INFO}/METADATA"] = (f"Metadata-Version: 2.1\nName: {NAME}\nVersion: {VERSION}\nSummary: "
                                      "Lanescope's associative memory and tracker and Quadfinder's square "
                                      "finder for Python\n").encode()
    files[f"{DIST_INFO}/WHEEL"] = (f"Wheel-Version: 1.0\nGenerator: lanescope_build\nRoot-Is-Purelib: false\n"
                                   f"Tag: {tag}\n").encode()
    record = [_record_line(name, data) for name, data in files.items()] + [f"{DIST_INFO}/RECORD,,"]
    files[f"{DIST_INFO}/RECORD"] = ("\n".join(record) + "\n").encode()
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel_name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files.items():
            wheel.writestr(name, data)
    return wheel_name
