#!/usr/bin/env bash
# Builds Qt's base modules for 64-bit Windows (MinGW-w64) from Debian's own
# source package of the host Qt's version, once per machine.
#
#   tools/build_qt_mingw.sh           build if the cache lacks it, print the prefix
#   tools/build_qt_mingw.sh --prefix  print the prefix the build goes to, build nothing
#
# The result is a static Qt (Core, Gui, Widgets, PrintSupport, Test, the Windows
# platform, print and style plugins) installed into
#   ${VOSTREL_CACHE:-~/.cache/vostrel}/qt6-mingw-<version>-<options hash>/
# with qtbase_ja.qm in its translations folder. The host's moc, rcc and uic are
# reused. A prefix holds a file "complete" once it is whole; an interrupted
# build starts again where ninja left off.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$top/cmake/mingw-w64-x86_64.cmake"
cache=${VOSTREL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vostrel}
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}

# Debian's Qt version (6.4.2+dfsg-21 -> 6.4.2) chooses the source package.
host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) || {
  echo "build_qt_mingw: qt6-base-dev is not installed (run make deps)" >&2; exit 1; }
upstream=${host_version#*:}
upstream=${upstream%%+*}
upstream=${upstream%%-*}

options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_dbus=OFF
  -DFEATURE_network=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
)
# The cache key: the Qt version, the options and the toolchain file.
key=$( { printf '%s\n' "$upstream" "${options[@]}"; cat "$toolchain"; } | sha256sum | cut -c1-12)
prefix="$cache/qt6-mingw-$upstream-$key"

if [ "${1:-}" = "--prefix" ]; then echo "$prefix"; exit 0; fi
if [ -f "$prefix/complete" ]; then echo "$prefix"; exit 0; fi

work="$cache/qt6-mingw-work-$upstream"
mkdir -p "$work"
cd "$work"

# Debian's source: a deb-src entry for the suites the machine already uses.
source_tar=$(ls qt6-base_"$upstream"*.orig.tar.xz 2>/dev/null | head -n 1 || true)
if [ -z "$source_tar" ]; then
  if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "build_qt_mingw: adding a deb-src entry for Debian's sources"
    for file in /etc/apt/sources.list.d/*.sources; do
      [ -f "$file" ] || continue
      grep -q '^Types:.*deb-src' "$file" && continue
      sed 's/^Types: deb$/Types: deb-src/' "$file" | $sudo tee "/etc/apt/sources.list.d/vostrel-src-$(basename "$file")" >/dev/null
    done
    if [ -f /etc/apt/sources.list ]; then
      grep -E '^deb ' /etc/apt/sources.list | grep debian | sed 's/^deb /deb-src /' |
        $sudo tee /etc/apt/sources.list.d/vostrel-src.list >/dev/null || true
    fi
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  fi
  apt-get source --download-only "qt6-base=$host_version"
  source_tar=$(ls qt6-base_"$upstream"*.orig.tar.xz | head -n 1)
fi
src="$work/qtbase-everywhere-src-$upstream"
if [ ! -f "$src/CMakeLists.txt" ]; then
  echo "build_qt_mingw: unpacking $source_tar"
  tar -xf "$source_tar"
fi

build="$work/build-$key"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${options[@]}"
fi
started=$(date +%s)
cmake --build "$build" -j "$jobs"
cmake --install "$build" >/dev/null

# Qt's own dialogs in Japanese: the same data file the Linux program loads.
mkdir -p "$prefix/translations"
cp /usr/share/qt6/translations/qtbase_ja.qm "$prefix/translations/"
echo "built in $(( $(date +%s) - started )) s on $jobs cores" > "$prefix/complete"
echo "$prefix"
