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

# Whether every given Debian package is installed.
packages_installed() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || return 1
    done
}

# Runs the given command as root: directly for root, through sudo for anybody else.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "$1 needs root rights, and there is no sudo." >&2
        return 1
    fi
}

# Runs apt-get with the given arguments as root, without questions.
run_apt_get() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@"
}

# Commands run when the script ends, however it ends, the last one registered first.
EXIT_ACTIONS=()
at_exit() {
    EXIT_ACTIONS=("$1" "${EXIT_ACTIONS[@]}")
    trap run_exit_actions EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}
run_exit_actions() {
    local action
    for action in "${EXIT_ACTIONS[@]}"; do
        eval "$action" || true
    done
    EXIT_ACTIONS=()
}

# A new temporary file (or, with -d, folder) made by mktemp and removed when the script ends;
# its name goes to TEMPORARY. (Run in a subshell, it would be removed as the subshell ends.)
make_temporary() {
    if ! TEMPORARY="$(mktemp "$@" "${TMPDIR:-/tmp}/vantorel.XXXXXXXX")"; then
        echo "Could not make a temporary file in ${TMPDIR:-/tmp}." >&2
        return 1
    fi
    at_exit "rm -rf --one-file-system $(printf '%q' "$TEMPORARY")"
}

# The Debian archive to make a fresh release $1 from: the one this machine's apt installs that
# release from, or else the one it installs this machine's own release from (an archive holds
# every release). It is the first source of type "deb" that lists the release itself among its
# suites, in apt's own source lists (the deb822 .sources files and the one-line sources.list
# and .list files). DEBIAN_MIRROR in the environment takes its place.
debian_mirror() {
    if [ -n "${DEBIAN_MIRROR:-}" ]; then
        echo "$DEBIAN_MIRROR"
        return 0
    fi
    archive_of "$1" || archive_of "$VANTOREL_RELEASE" || {
        echo "No Debian mirror found in apt's sources ($(apt_source_files | tr '\n' ' ')):" \
            "no entry of type deb with the suite $1 or $VANTOREL_RELEASE." >&2
        echo "Set DEBIAN_MIRROR to the address of one, for example DEBIAN_MIRROR=http://<host>/debian." >&2
        return 1
    }
}

# apt's source lists, one a line.
apt_source_files() {
    local SOURCELIST="" SOURCEPARTS="" file
    eval "$(apt-config shell SOURCELIST Dir::Etc::sourcelist/f SOURCEPARTS Dir::Etc::sourceparts/d)"
    for file in "$SOURCELIST" "$SOURCEPARTS"*.list "$SOURCEPARTS"*.sources; do
        [ ! -f "$file" ] || echo "$file"
    done
}

# The archive that apt's sources give for the release $1; fails when none does.
archive_of() {
    local release="$1" file mirror
    while read -r file; do
        if [[ "$file" == *.sources ]]; then
            mirror="$(deb822_mirror "$release" <"$file")"
        else
            mirror="$(one_line_mirror "$release" <"$file")"
        fi
        if [ -n "$mirror" ]; then
            echo "${mirror%/}"
            return 0
        fi
    done < <(apt_source_files)
    return 1
}

# The first URI of a deb822 stanza on standard input that is of type deb, enabled, reached
# over a scheme debootstrap knows, and has suite $1.
deb822_mirror() {
    awk -v release="$1" '
        function flush() {
            if (types ~ /(^| )deb( |$)/ && tolower(enabled) != "no" &&
                (" " suites " ") ~ (" " release " ") && uris ~ /^(https?|ftp|file):/) {
                split(uris, list, " ")
                print list[1]
                found = 1
                exit
            }
            types = uris = suites = enabled = key = ""
        }
        /^#/ { next }
        /^[ \t]*$/ { flush(); next }
        /^[ \t]/ { value = $0; sub(/^[ \t]+/, "", value); append(key, value); next }
        {
            key = tolower($0); sub(/:.*/, "", key)
            value = $0; sub(/^[^:]*:[ \t]*/, "", value)
            append(key, value)
        }
        function append(k, v) {
            if (k == "types") types = types " " v
            else if (k == "uris") uris = uris " " v
            else if (k == "suites") suites = suites " " v
            else if (k == "enabled") enabled = v
            gsub(/^ +/, "", types); gsub(/^ +/, "", uris); gsub(/^ +/, "", suites)
        }
        END { if (!found) flush() }'
}

# The URI of the first one-line entry on standard input, "deb [options] uri suite ...", with
# suite $1 and a scheme debootstrap knows.
one_line_mirror() {
    awk -v release="$1" '
        { sub(/#.*/, "") }
        $1 == "deb" {
            i = 2
            if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
            if ($(i + 1) == release && $i ~ /^(https?|ftp|file):/) { print $i; exit }
        }'
}

# The proxy that apt uses here for http, if any: debootstrap and the apt of a fresh system use
# it too.
APT_HTTP_PROXY="${http_proxy:-}"
if [ -z "$APT_HTTP_PROXY" ] && command -v apt-config >/dev/null 2>&1; then
    eval "$(apt-config shell APT_HTTP_PROXY Acquire::http::Proxy)"
    [ "$APT_HTTP_PROXY" != DIRECT ] || APT_HTTP_PROXY=""
fi

# Makes a fresh minimal Debian $1 with debootstrap in the folder $2, in place of whatever was
# there (nothing may be mounted below it), from the mirror apt uses here. Its output goes to
# the log $3, whose end is shown when it fails.
fresh_debian_root() {
    local release="$1" rootfs="$2" log="$3"
    local mirror
    mirror="$(debian_mirror "$release")" || return 1
    as_root rm -rf --one-file-system "$rootfs"
    mkdir -p "$(dirname "$rootfs")"
    echo "Making a fresh Debian $release in $rootfs from $mirror"
    if ! as_root env ${APT_HTTP_PROXY:+http_proxy="$APT_HTTP_PROXY"} \
        debootstrap --variant=minbase "$release" "$rootfs" "$mirror" >"$log" 2>&1; then
        tail -n 20 "$log" >&2
        echo "debootstrap could not make a Debian $release from $mirror (log: $log)." >&2
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
    make_temporary || return 1
    if ! run_apt_get install -y -qq --no-install-recommends "${missing[@]}" >"$TEMPORARY" 2>&1; then
        cat "$TEMPORARY" >&2
        return 1
    fi
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
    local qt=(qtbase5-dev qtbase5-dev-tools libqt5svg5-dev)
    [ "$1" = 6 ] && qt=(qt6-base-dev qt6-base-dev-tools qt6-svg-dev)
    echo cmake make g++ pkg-config "${qt[@]}" libqcustomplot-dev libcminpack-dev fonts-dejavu-core \
        liblxi-dev libtirpc-dev libboost-dev
}
read -r -a BUILD_PACKAGES <<<"$(build_packages "$VANTOREL_QT")"
# What the tests and the benchmarks need on top; and what the whole battery needs besides
# (clang for the fuzz run, debootstrap for the fresh systems).
# rpcgen (rpcsvc-proto) makes the VXI-11 stand-in's stubs, which register with rpcbind;
# scripts/private-network runs the suite in a network of its own (iproute2 brings its loopback
# up) with an rpcbind of its own; pdftotext (poppler-utils) reads an exported PDF back.
TEST_PACKAGES=(libbenchmark-dev rpcsvc-proto rpcbind iproute2 poppler-utils)
FULL_TEST_PACKAGES=(clang libclang-rt-dev debootstrap)

# Whether an rpcbind answers on this machine.
rpcbind_answers() {
    local rpcinfo
    rpcinfo="$(command -v rpcinfo || echo /usr/sbin/rpcinfo)"
    "$rpcinfo" -p 127.0.0.1 >/dev/null 2>&1
}

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

# Each stage of a run begins with "== <name>"; stage_summary lists how long each took and the
# whole run (counted from the start of the script).
STAGE_LINES=()
STAGE_NAME=""
STAGE_START=0
stage() {
    stage_done
    STAGE_NAME="$1"
    STAGE_START=$SECONDS
    echo "== $1"
}
stage_done() {
    [ -n "$STAGE_NAME" ] || return 0
    STAGE_LINES+=("$(printf '%7s  %s' "$(duration $((SECONDS - STAGE_START)))" "$STAGE_NAME")")
    STAGE_NAME=""
}
stage_summary() {
    stage_done
    echo "== Time taken (minutes:seconds)"
    printf '   %s\n' "${STAGE_LINES[@]}"
    printf '   %7s  %s\n' "$(duration "$SECONDS")" "${1:-in all}"
}
duration() {
    printf '%d:%02d' $(($1 / 60)) $(($1 % 60))
}
