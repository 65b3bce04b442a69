# Shared by the set-up scripts: installs the Debian packages that are missing and builds.
# Sourced, not run.

VANTOREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# The Debian release this machine runs, by its code name (bookworm, trixie, ...).
VANTOREL_RELEASE="$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")"

# The Qt each release builds with: Qt 5 on Debian 12 (bookworm), Qt 6 on Debian 13 (trixie) and
# later. VANTOREL_QT=5 or 6 in the environment chooses the other one.
release_qt() {
    case "$1" in
        bookworm) echo 5 ;;
        *) echo 6 ;;
    esac
}
VANTOREL_DEFAULT_QT="$(release_qt "$VANTOREL_RELEASE")"
VANTOREL_QT="${VANTOREL_QT:-$VANTOREL_DEFAULT_QT}"
case "$VANTOREL_QT" in
    5 | 6) ;;
    *)
        echo "VANTOREL_QT must be 5 or 6, not '$VANTOREL_QT'." >&2
        exit 1
        ;;
esac
# The Qt that VANTOREL_QT is not.
VANTOREL_OTHER_QT=$((11 - VANTOREL_QT))

# Prefix of the commands that need root: nothing for root, sudo for anybody else.
ROOT_CMD=""
[ "$(id -u)" -eq 0 ] || ROOT_CMD="sudo"
DEBIAN_MIRROR=http://deb.debian.org/debian

# Whether every given Debian package is installed.
packages_installed() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || return 1
    done
}

# Runs apt-get with the given arguments, through sudo when not root.
run_apt_get() {
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            echo "apt-get $* needs root rights, and there is no sudo." >&2
            return 1
        fi
        sudo="sudo"
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@"
}

# Makes a fresh minimal Debian $1 with debootstrap in the folder $2, in place of whatever was
# there (nothing may be mounted below it). Its output goes to the log $3, whose end is shown
# when it fails.
fresh_debian_root() {
    local release="$1" rootfs="$2" log="$3"
    $ROOT_CMD rm -rf --one-file-system "$rootfs"
    mkdir -p "$(dirname "$rootfs")"
    if ! $ROOT_CMD debootstrap --variant=minbase "$release" "$rootfs" "$DEBIAN_MIRROR" >"$log" 2>&1; then
        tail -n 20 "$log" >&2
        return 1
    fi
}

# Installs the given Debian packages unless they are all present already.
install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        packages_installed "$pkg" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    run_apt_get update -qq
    # dpkg's many lines are shown only when the install fails.
    local log
    log="$(mktemp)"
    if ! run_apt_get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
        cat "$log" >&2
        rm -f "$log"
        return 1
    fi
    rm -f "$log"
}

# Whether apt's package lists have every given package.
packages_listed() {
    local pkg
    for pkg in "$@"; do
        apt-cache show "$pkg" >/dev/null 2>&1 || return 1
    done
}

# Whether every given package is installed or can be; reads the package lists anew once when
# they lack one.
packages_available() {
    packages_installed "$@" || packages_listed "$@" || { run_apt_get update -qq && packages_listed "$@"; }
}

# What building and running the program with Qt $1 needs. The plot library's -dev package
# brings its builds for both Qt versions.
build_packages() {
    local qt=(qtbase5-dev qtbase5-dev-tools)
    [ "$1" = 6 ] && qt=(qt6-base-dev qt6-base-dev-tools)
    echo cmake make g++ pkg-config "${qt[@]}" libqcustomplot-dev fonts-dejavu-core
}
read -r -a BUILD_PACKAGES <<<"$(build_packages "$VANTOREL_QT")"
# What the tests, the benchmarks and the fuzz run need on top.
TEST_PACKAGES=(libbenchmark-dev clang libclang-rt-dev)

# The folder of the plain build with Qt $1: build/ for the Qt of this release, build-qtN/ for
# the other one.
plain_build_dir() {
    if [ "$1" = "$VANTOREL_DEFAULT_QT" ]; then echo build; else echo "build-qt$1"; fi
}

# Configures the folder $2 from the CMake project in $1 for VANTOREL_QT, with the extra CMake
# arguments that follow (a later -DVANTOREL_QT=N among them wins). A folder configured before
# for the other Qt starts anew.
configure_project() {
    local source="$1"
    local name="$2"
    local dir="$VANTOREL_ROOT/$2"
    shift 2
    local qt="$VANTOREL_QT"
    local arg
    for arg in "$@"; do
        case "$arg" in -DVANTOREL_QT=*) qt="${arg#-DVANTOREL_QT=}" ;; esac
    done
    if grep -q '^VANTOREL_QT:' "$dir/CMakeCache.txt" 2>/dev/null &&
        ! grep -qx "VANTOREL_QT:STRING=$qt" "$dir/CMakeCache.txt"; then
        echo "$name/ was configured for another Qt: configuring it anew"
        rm -rf --one-file-system "$dir"
    fi
    cmake -S "$source" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_QT="$qt" "$@" >/dev/null
}

# Configures the folder $1 with the extra CMake arguments that follow.
configure_tree() {
    configure_project "$VANTOREL_ROOT" "$@"
}

# Configures and builds everything in the folder $1 with the extra CMake arguments that follow.
build_tree() {
    configure_tree "$@"
    cmake --build "$VANTOREL_ROOT/$1" -j "$(nproc)"
}
