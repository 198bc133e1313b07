# The .deb that cpack makes puts the package where Debian's Python finds it.
#   bash install_deb.sh BUILD_DIR
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$1" && cpack -G DEB -B "$work" >"$work/cpack.txt" 2>&1) || { cat "$work/cpack.txt" >&2; exit 1; }
contents=$(dpkg-deb -c "$work"/lanescope_*.deb)
for file in __init__.py '_lanescope\..*\.so'; do
    grep -q "\./usr/lib/python3/dist-packages/lanescope/$file\$" <<<"$contents" ||
        { echo "the .deb holds no usr/lib/python3/dist-packages/lanescope/$file" >&2; exit 1; }
done
dpkg-deb -f "$work"/lanescope_*.deb Depends | grep -q "python3" || { echo "the .deb does not depend on python3" >&2; exit 1; }
