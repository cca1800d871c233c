# Debian packages the build, the tests and the demo need; install_deps installs the
# missing ones with apt-get (through sudo when not root).
PANEL_PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-qpa-plugins
    qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
    fonts-dejavu-core fonts-unifont
    mariadb-server mariadb-client
    util-linux procps python3
)
# --- backup engine (maintenance/) and its tests -------------------------------------------
# nettle: SHA-256 of every file as it is copied. libarchive-tools: bsdtar reads the
# manifest as the mtree file it is. fusefat, dosfstools, exfat-fuse, exfatprogs: FAT and
# exFAT sticks in the tests. rsync: compared against in bench/bench_backup.
PANEL_PACKAGES+=(
    nettle-dev libarchive-tools
    fusefat dosfstools exfat-fuse exfatprogs
    rsync
)
# --- end of backup engine -----------------------------------------------------------------

# The translations: lupdate and lrelease with CMake's LinguistTools for both Qt majors, Qt's
# own translations (the message boxes' buttons), and a font with the Chinese glyphs that
# "DejaVu Sans" lacks, found by fontconfig's fallback.
PANEL_PACKAGES+=(
    qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
    qttools5-dev qttools5-dev-tools qttranslations5-l10n
    fonts-wqy-microhei
)

# Fuzzing and sanitizers for the printer input (scripts/fuzz): clang with libFuzzer and the
# sanitizer runtimes.
PANEL_PACKAGES+=(clang libclang-rt-14-dev)

# install_deps installs what the build, the tests and the demo need.
install_deps() {
    install_missing "${PANEL_PACKAGES[@]}"
}

# --- Debian packages and cross builds (scripts/package) ---
# X for the test of drawing on xcb.
PANEL_PACKAGES+=(xvfb x11-xserver-utils)
# Making and checking the .deb files, and running other architectures' programs.
PANEL_PACKAGING_PACKAGES=(dpkg-dev file lintian qemu-user-static)
# Libraries a cross build needs for its architecture: each is installed as NAME:ARCH.
PANEL_CROSS_LIBRARIES=(
    qt6-base-dev qt6-serialport-dev qt6-qpa-plugins
    nettle-dev
)

# install_missing PACKAGE... installs those of the packages that are not installed yet.
install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    # Another apt run (a second checkout, an unattended upgrade) may hold the lock: wait.
    local wait=(-o DPkg::Lock::Timeout=1800)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "${wait[@]}" update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get "${wait[@]}" install -y -q --no-install-recommends "${missing[@]}"
}

# install_package_deps ARCH installs what scripts/package needs to build and check the
# packages for ARCH: for another architecture, Debian's cross toolchain and the libraries
# of that architecture (multiarch, added to dpkg first when missing).
install_package_deps() {
    local arch=$1 native
    native=$(dpkg --print-architecture)
    local packages=("${PANEL_PACKAGING_PACKAGES[@]}")
    if [ "$arch" != "$native" ]; then
        if ! { echo "$native"; dpkg --print-foreign-architectures; } | grep -qx "$arch"; then
            local sudo=()
            [ "$(id -u)" -ne 0 ] && sudo=(sudo)
            echo "Adding the architecture $arch to dpkg"
            "${sudo[@]}" dpkg --add-architecture "$arch"
        fi
        packages+=("crossbuild-essential-$arch")
        local library
        for library in "${PANEL_CROSS_LIBRARIES[@]}"; do
            packages+=("$library:$arch")
        done
    fi
    install_missing "${packages[@]}"
}
