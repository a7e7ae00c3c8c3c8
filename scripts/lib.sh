# Shared by the run and test scripts (sourced, not run).

FED_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FED_JOBS=2 # the machines have two cores

# Debian packages each script needs; every script installs what is missing.
FED_PKG_BUILD=(build-essential cmake libgdbm-dev libpcap-dev libreadline-dev
               libgtest-dev googletest libbenchmark-dev libosip2-dev
               pkg-config libnetfilter-queue-dev
               dnsmasq iproute2) # a DNS server in a namespace for the host-name rule tests
FED_PKG_PPC=(g++-powerpc-linux-gnu qemu-user dpkg-dev googletest debian-archive-keyring)
FED_PKG_FUZZ=(clang libclang-rt-14-dev)
# Live mode (scripts/live): namespaces, the queue, real servers and clients.
FED_PKG_LIVE=(iproute2 iptables vsftpd tftpd-hpa tftp-hpa dnsmasq dnsutils curl python3 sip-tester)

banner() {
    printf '\n========== %s ==========\n' "$*"
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# need_packages PKG...: installs the packages that are not installed yet.
need_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# build DIR CMAKE-ARGS...: configures (once) and builds the tree in DIR.
build() {
    local dir=$1
    shift
    cmake -S "$FED_ROOT" -B "$dir" "$@"
    cmake --build "$dir" -j "$FED_JOBS"
}

# run_ctest DIR CTEST-ARGS...: every test of the build, output of failures shown.
run_ctest() {
    local dir=$1
    shift
    ctest --test-dir "$dir" --output-on-failure -j "$FED_JOBS" --no-tests=ignore "$@"
}
