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

install_deps() {
    local missing=() pkg
    for pkg in "${PANEL_PACKAGES[@]}"; do
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
