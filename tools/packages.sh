# The Debian packages that building and testing every tree takes, in one
# place: tools/setup.sh installs the missing ones, tools/setup-if-needed.sh
# only looks. Sourced by both.
packages="cmake g++ make pkg-config googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth xdotool x11-apps imagemagick
  libpng-dev libjpeg62-turbo-dev libnetpbm-dev clang libclang-rt-14-dev ffmpeg frei0r-plugins-dev melt
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev dpkg-dev lintian"
# WebP pictures: libwebp with its container libraries (mux, demux) and its tools (tests)
packages="$packages libwebp-dev webp"
# TIFF, HEIF/HEIC and AVIF pictures: libtiff and libheif, with their tools (tests)
packages="$packages libtiff-dev libheif-dev libheif-examples libtiff-tools"
# The OBS Studio module is built on libobs; its tests run the real obs and its media source.
packages="$packages libobs-dev obs-studio obs-plugins"
# The package test starts the real Shotcut with the installed panel (18 MB to download, 30 s to install).
packages="$packages shotcut"

# The packages of the arguments that are not installed, on one line: one
# dpkg-query for all, no root needed. NAME:ARCH asks for that architecture.
missing_of() {
  installed=$(dpkg-query -W -f='${db:Status-Status} ${Package}:${Architecture}\n' "$@" 2>/dev/null |
    sed -n 's/^installed //p')
  missing=""
  for p in "$@"; do
    case $p in
      *:*) printf '%s\n' "$installed" | grep -qx "$p" ;;
      *) printf '%s\n' "$installed" | grep -q "^$p:" ;;
    esac || missing="$missing $p"
  done
  echo "$missing"
}
