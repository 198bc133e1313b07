# What the scripts in this folder share; sourced, not run: source "$(dirname "$0")/lib.sh"
# Sets root, the top of the source tree.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# configure_build DIR [KIND [CMAKE_ARGUMENT...]]: configures the build folder DIR of this tree with Ninja,
# quietly. KIND is Sanitize, a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, or a CMake
# build type built without them: Release (the default), RelWithDebInfo...
configure_build() {
    local dir=$1 kind=${2:-Release}
    shift $(($# < 2 ? $# : 2))
    local options=(-DCMAKE_BUILD_TYPE="$kind" -DLANESCOPE_SANITIZE=OFF)
    [ "$kind" != Sanitize ] || options=(-DCMAKE_BUILD_TYPE=Debug -DLANESCOPE_SANITIZE=ON)
    cmake -S "$root" -B "$dir" -G Ninja "${options[@]}" "$@" >/dev/null
}
