#!/bin/sh
# The Debian package: built from the build folder, unpacked into a scratch
# root, and its vostrelc run there as an installed program (shipped word
# list, settings and include files from the user's folders, nothing written
# below /usr); then lintian (hardening included), the desktop entry, the
# MIME types and the AppStream metainfo.
# Usage: package_test.sh BUILD_DIR GOLDEN_DIR
set -eu
build=$1
golden=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1) ||
  { cat "$scratch/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$scratch"/pkg/*.deb)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6core6' || fail "no library dependencies: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Recommends | grep -q 'qt6-translations-l10n' ||
  fail "Qt's translations are not recommended: $(dpkg-deb -f "$deb" Recommends)"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for f in usr/bin/vostrel usr/bin/vostrelc usr/bin/vostrel-lsp usr/share/vostrel/ChkData.lst usr/share/vostrel/vostrel-guide.html \
         usr/share/man/man1/vostrelc.1.gz usr/share/man/man1/vostrel.1.gz \
         usr/share/bash-completion/completions/vostrelc usr/share/mime/packages/vostrel.xml \
         usr/share/icons/hicolor/256x256/apps/vostrel.png; do
  [ -f "$root/$f" ] || fail "$f is not in the package"
done
if [ -f "$build/vostrel-nc-$(dpkg-deb -f "$deb" Version).vsix" ]; then
  [ -f "$root/usr/share/vostrel/vostrel-nc.vsix" ] || fail "the VS Code extension is not in the package"
fi
(cd "$root" && find . -exec stat -c '%n %s %Y' {} + | sort) >"$scratch/before"

# The user's settings switch on the line-ending conversion: the golden case
# for it must come out, read with the shipped word list.
home=$scratch/home
mkdir -p "$home/.config/vostrel"
printf '[Options]\r\nEndChar=Y\r\n' >"$home/.config/vostrel/vostrel.INI"
case_dir=$golden/core_endchar_on
env -u XDG_CONFIG_HOME HOME="$home" "$root/usr/bin/vostrelc" --log "$scratch/run.log" \
  -o "$scratch/out.nc" "$case_dir/source.nc" || fail "vostrelc exited with $?"
cmp -s "$scratch/out.nc" "$case_dir/expected.nc" || fail "compiled output differs from $case_dir/expected.nc"
cmp -s "$scratch/run.log" "$case_dir/expected.log" || fail "run log differs from $case_dir/expected.log"

# "..\" names the user's folder first, then the shipped files.
printf '$XPOS 12.5\r\n' >"$home/.config/vostrel/SHOP.DEF"
printf '#INCLUDE ..\\SHOP.DEF\r\nG00 XPOS\r\n' >"$scratch/include.nc"
out=$(env -u XDG_CONFIG_HOME HOME="$home" "$root/usr/bin/vostrelc" -q --stdout "$scratch/include.nc") ||
  fail "include from the user's folder: exit $?"
case $out in *G0012.5*) ;; *) fail "include from the user's folder: got '$out'" ;; esac
mv "$home/.config/vostrel/SHOP.DEF" "$scratch/"
env -u XDG_CONFIG_HOME HOME="$home" "$root/usr/bin/vostrelc" -q --stdout "$scratch/include.nc" >/dev/null 2>&1 &&
  fail "an include file missing from both folders was found"

(cd "$root" && find . -exec stat -c '%n %s %Y' {} + | sort) >"$scratch/after"
diff "$scratch/before" "$scratch/after" >&2 || fail "the runs changed files below the unpacked root"

lintian --fail-on error --display-info --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 ||
  { cat "$scratch/lintian.log" >&2; fail "lintian reports errors"; }
if grep 'hardening-' "$scratch/lintian.log" >&2; then fail "the programs lack hardening flags"; fi
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop-file-validate"
# The desktop entry offers the program for NC programs only, not for every text file.
grep -q '^MimeType=text/x-nc-program;$' "$root"/usr/share/applications/*.desktop ||
  fail "desktop entry MIME types: $(grep MimeType "$root"/usr/share/applications/*.desktop)"

# With the system's MIME types and the package's: a netCDF file named *.nc
# stays netCDF, an NC program (also one starting with "%" like other text
# types) is an NC program.
if command -v update-mime-database >/dev/null && command -v gio >/dev/null &&
   [ -f /usr/share/mime/packages/freedesktop.org.xml ]; then
  mime=$scratch/mime/share
  mkdir -p "$mime/mime/packages"
  cp /usr/share/mime/packages/freedesktop.org.xml "$root"/usr/share/mime/packages/vostrel.xml "$mime/mime/packages/"
  update-mime-database "$mime/mime" >/dev/null 2>&1 || fail "update-mime-database"
  printf 'CDF\001\000\000\000\000' >"$scratch/classic.nc"
  printf '\211HDF\r\n\032\n\000\000' >"$scratch/hdf.nc"
  printf '%%\r\nO1000\r\nG00 X1.\r\n%%\r\n' >"$scratch/program.nc"
  printf '(\225\134)\r\nG00\r\n' >"$scratch/remark.nc"
  printf 'G00\r\n' >"$scratch/program.nc0"
  for pair in classic.nc:application/x-netcdf hdf.nc:application/x-netcdf program.nc:text/x-nc-program \
              remark.nc:text/x-nc-program program.nc0:text/x-nc-program; do
    type=$(env XDG_DATA_DIRS="$mime" XDG_DATA_HOME="$scratch/none" \
           gio info -a standard::content-type "$scratch/${pair%%:*}" 2>/dev/null | sed -n 's/.*content-type: //p')
    [ "$type" = "${pair#*:}" ] || fail "${pair%%:*} is taken for '$type', not ${pair#*:}"
  done
fi
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"
echo "package checks passed"
