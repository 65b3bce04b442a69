# Shared by the set-up scripts: installs the Debian packages that are missing and builds.
# Sourced, not run.

VANTOREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Installs the given Debian packages unless they are all present already.
install_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo="sudo"
        else
            echo "Missing packages (${missing[*]}) and no root rights to install them." >&2
            return 1
        fi
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and running the program needs.
BUILD_PACKAGES=(cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libqcustomplot-dev
                fonts-dejavu-core)
# What the tests, the benchmarks and the fuzz run need on top.
TEST_PACKAGES=(libbenchmark-dev clang libclang-rt-14-dev)

# Configures the folder $1 with the extra CMake arguments that follow.
configure_tree() {
    local dir="$1"
    shift
    cmake -S "$VANTOREL_ROOT" -B "$VANTOREL_ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

# Configures and builds everything in the folder $1 with the extra CMake arguments that follow.
build_tree() {
    configure_tree "$@"
    cmake --build "$VANTOREL_ROOT/$1" -j "$(nproc)"
}
