# The Windows build's pieces that Debian has no MinGW build of: Qt's base
# and libusb, built once from Debian's own sources into a cache. Source it
# after common.sh.

CACHE=${ZRT_CACHE:-$HOME/.cache/zrt-panel}
QT_MINGW=$CACHE/qt-mingw
LIBUSB_MINGW=$CACHE/libusb-mingw
MINGW_TOOLCHAIN=$ROOT/cmake/mingw-w64-x86_64.cmake
WINDOWS_BUILD_PACKAGES=(ninja-build dpkg-dev xz-utils zip wixl msitools)

# fetch_debian_source PACKAGE: unpacks Debian's source of PACKAGE (patches
# applied) under $CACHE/src, through a source list of our own, so that the
# system's apt configuration stays as it is.
fetch_debian_source() {
  local package=$1 apt="$CACHE/apt"
  mkdir -p "$apt/lists/partial" "$CACHE/src"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
    "http://deb.debian.org/debian bookworm main" >"$apt/sources.list"
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
    -o "Dir::State::Lists=$apt/lists" -o "Debug::NoLocking=1")
  [ -n "$(ls "$apt/lists" 2>/dev/null | grep Sources)" ] || apt-get "${options[@]}" update -qq
  # apt warns that root downloads unsandboxed: true, and nothing to act on.
  (cd "$CACHE/src" && apt-get "${options[@]}" source -qq "$package") 2>&1 |
    { grep -v '^W: Download' || true; }
}

# source_of PACKAGE PATTERN: the folder of PACKAGE's unpacked source, the
# first under $CACHE/src that PATTERN matches, fetched first if there is none.
source_of() {
  local package=$1 pattern=$2 dir attempt
  for attempt in 1 2; do
    for dir in "$CACHE"/src/$pattern; do
      if [ -d "$dir" ]; then
        echo "$dir"
        return 0
      fi
    done
    [ "$attempt" = 1 ] && fetch_debian_source "$package" >&2
  done
  echo "no source of $package in $CACHE/src" >&2
  return 1
}

# Qt's base (Core, Gui, Widgets, the windows platform plugin and styles)
# for MinGW, against the build machine's Qt of the same version for the
# tools (moc, rcc, uic). About an hour of one core.
build_qt_mingw() {
  [ -f "$QT_MINGW/lib/cmake/Qt6/Qt6Config.cmake" ] && return 0
  local source
  source=$(source_of qt6-base 'qt6-base-6.4.2*')
  # Without OpenGL the windows plugin must not reach for its GL context.
  sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(opengl) \&\& QT_CONFIG(dynamicgl)/' \
    "$source/src/plugins/platforms/windows/qwindowswindow.cpp"
  # Debian's source lacks the Wacom tablet headers: no tablet events.
  cmake -G Ninja -S "$source" -B "$CACHE/qt-build" \
    -DCMAKE_TOOLCHAIN_FILE="$MINGW_TOOLCHAIN" -DCMAKE_CROSSCOMPILING_EMULATOR= \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$QT_MINGW" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_WITH_PCH=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_tabletevent=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_icu=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_doubleconversion=OFF >/dev/null
  cmake --build "$CACHE/qt-build" --parallel "$(nproc)"
  cmake --install "$CACHE/qt-build" >/dev/null
}

build_libusb_mingw() {
  [ -f "$LIBUSB_MINGW/lib/pkgconfig/libusb-1.0.pc" ] && return 0
  local source
  source=$(source_of libusb-1.0 'libusb-1.0-*')
  local log=$CACHE/libusb-build.log
  if ! (
    cd "$source"
    CC=x86_64-w64-mingw32-gcc-posix ./configure --host=x86_64-w64-mingw32 \
      --prefix="$LIBUSB_MINGW" --disable-static
    make -j"$(nproc)"
    make install
  ) >"$log" 2>&1; then
    tail -40 "$log"
    return 1
  fi
}

# make_msi BUILD NAME VERSION OUTPUT: the installer of the files staged in
# BUILD/NAME (listed in BUILD/files.wxs), as version VERSION. wixl finds the
# files only by paths relative to where it runs.
make_msi() {
  local build=$1 name=$2 version=$3 output=$4
  # Installed versions below the next patch version are replaced, this one too.
  local below=${version%.*}.$((${version##*.} + 1))
  (cd "$build" && wixl -a x64 -D Version="$version" -D UpgradeBelow="$below" -D Win64=yes \
    -D SourceDir="$name" -D Icon=zrt-panel.ico -o "$output" \
    "$ROOT/packaging/windows/zrt-panel.wxs" files.wxs)
}
