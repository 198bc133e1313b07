#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run. Quiet, and does nothing when
# everything is already there. Uses sudo only when not run as root.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang            # tool chain
    libclang-rt-14-dev                     # libFuzzer and the sanitizer runtimes for clang
    libopencv-dev                          # OpenCV 4.6 with its CMake package
    libopencv-contrib-dev                  # KCF, CSRT and MOSSE: the trackers Lanescope is measured against
    opencv-doc                             # real street videos (vtest.avi, Megamind.avi) for benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool                     # virtual display and input for the end-to-end tests
    ffmpeg                                 # ffprobe and x11grab for checking videos and taking screenshots
    valgrind                               # memcheck of whole runs in the end-to-end tests
    clang-tidy cppcheck                    # static checks (scripts/static-checks.sh)
    pybind11-dev python3-dev python3-venv  # the Python package lanescope and its pip install test
    python3-numpy python3-pytest python3-opencv python3-matplotlib  # its tests and examples
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep "install ok installed" >/dev/null || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing ${missing[*]} ..."
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Recommended packages would bring in Java and more that the project never uses.
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
