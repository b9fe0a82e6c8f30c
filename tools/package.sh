#!/bin/sh
# Builds the trees that ship and writes the two packages to dist/:
#   velto_VERSION-1_amd64.deb     the tool, the frei0r effect where Debian's
#                                 frei0r hosts look (/usr/lib/frei0r-1), the
#                                 manual page, the bash completion, Kdenlive's
#                                 panel for the effect and the licence;
#                                 dependencies from the libraries the
#                                 programs link (dpkg-shlibdeps); checked by
#                                 lintian, whose errors fail the run
#   velto-VERSION-windows.zip     velto.vdf, velto64.vdf, frei0r-1/velto.dll,
#                                 README.txt and LICENSE.txt
# The version is the one in CMakeLists.txt's project().
set -eu
cd "$(dirname "$0")/.."
maintainer="The Velto developers <velto@example.org>"

version=$(sed -n 's/^project(velto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
jobs=$(nproc 2>/dev/null || echo 2)
build() {  # build PRESET TARGET...
  preset=$1
  shift
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target "$@" >/dev/null
}
# The OBS module where libobs-dev is there: its install rules need it built.
obs_module=
if pkg-config --exists libobs 2>/dev/null; then obs_module=velto_obs; fi
build native velto velto_frei0r $obs_module
build win32 velto_plugin
build win64 velto_plugin velto_frei0r

work=build/package
rm -rf "$work" && mkdir -p "$work" dist
# The commit's time, not the clock's: the same sources give the same dates.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
umask 022

# The .deb: cmake --install into a root of its own, then what Debian adds.
deb=dist/velto_${version}-1_amd64.deb
root=$work/deb
DESTDIR=$PWD/$root cmake --install build/native --prefix /usr >/dev/null
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/velto" \
  "$root/usr/libexec/velto/velto-video" "$root/usr/lib/frei0r-1/velto.so"
chmod 644 "$root/usr/lib/frei0r-1/velto.so"
obs_so=$root/usr/lib/x86_64-linux-gnu/obs-plugins/velto-obs.so
if [ -f "$obs_so" ]; then
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$obs_so"
  chmod 644 "$obs_so"
fi
gzip -9n "$root/usr/share/man/man1/velto.1"
{
  echo "velto (${version}-1) unstable; urgency=medium"
  echo
  echo "  * Velto ${version}, packaged by tools/package.sh."
  echo
  echo " -- $maintainer  $(date -R -u -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n >"$root/usr/share/doc/velto/changelog.Debian.gz"

# dpkg-shlibdeps reads a debian/control, so it runs where one is.
mkdir -p "$work/shlibs/debian"
printf 'Source: velto\n\nPackage: velto\nArchitecture: amd64\n' >"$work/shlibs/debian/control"
depends=$(cd "$work/shlibs" && dpkg-shlibdeps -O -e "$OLDPWD/$root/usr/bin/velto" \
  -e "$OLDPWD/$root/usr/libexec/velto/velto-video" \
  -e "$OLDPWD/$root/usr/lib/frei0r-1/velto.so" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

mkdir -p "$root/DEBIAN"
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$root/DEBIAN/md5sums"
cat >"$root/DEBIAN/control" <<CONTROL
Package: velto
Version: ${version}-1
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Suggests: ffmpeg, melt, obs-studio
Section: graphics
Priority: optional
Description: automatic white balance for pictures and video
 Velto measures a black and a white point of each colour channel in every
 frame and stretches each channel between them, so a colour cast is reduced
 frame by frame. This package has the velto command for images (PNG, JPEG,
 Netpbm), whole folders of them and raw video frames, and the same filter as
 a frei0r effect for ffmpeg, melt and the editors built on MLT, with a panel
 description for Kdenlive.
CONTROL
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "package: wrote $deb"

# The zip for Windows, files at its top; text with Windows line ends.
zip=dist/velto-${version}-windows.zip
z=$work/zip
mkdir -p "$z/frei0r-1"
cp build/win32/velto.vdf build/win64/velto64.vdf "$z/"
cp build/win64/frei0r-1/velto.dll "$z/frei0r-1/"
sed "s/@VERSION@/$version/g; s/\$/\r/" package/README-windows.txt >"$z/README.txt"
sed 's/$/\r/' LICENSE >"$z/LICENSE.txt"
rm -f "$zip"
(cd "$z" && cmake -E tar cf "$OLDPWD/$zip" --format=zip --mtime="$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')" \
  README.txt LICENSE.txt velto.vdf velto64.vdf frei0r-1/velto.dll)
echo "package: wrote $zip"

if command -v lintian >/dev/null; then
  report=$(lintian --allow-root --tag-display-limit 0 "$deb" 2>&1 || true)
  [ -z "$report" ] || printf '%s\n' "$report"
  if printf '%s\n' "$report" | grep -q '^E: '; then
    echo "package: lintian reports errors in $deb" >&2
    exit 1
  fi
  echo "package: lintian reports no errors"
else
  echo "package: lintian is not installed (tools/setup.sh installs it); $deb is not checked"
fi
