# pip builds and installs the package from the source tree into a fresh virtual environment without any
# package index, and the package works there without NumPy (frames through the buffer protocol).
#   bash install_venv.sh SOURCE_DIR PYTHON
set -euo pipefail
source_dir=$1
python=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" -m venv "$work/venv"
"$work/venv/bin/python" -m pip install --no-index --quiet "$source_dir" >"$work/pip.txt" 2>&1 ||
    { tail -n 40 "$work/pip.txt" >&2; echo "pip install failed" >&2; exit 1; }
cd "$work"
"$work/venv/bin/python" - "$work/venv" <<'PYTHON'
import sys
import lanescope
assert lanescope.__file__.startswith(sys.argv[1]), lanescope.__file__
frame = memoryview(bytearray(120 * 160 * 3)).cast("B", (120, 160, 3))
assert lanescope.find_squares(frame) == []
tracker = lanescope.Tracker(lanescope.Memory.create(40, 40))
tracker.track(frame)
print("lanescope from", lanescope.__file__)
PYTHON
