# Debian packages the project builds, tests and runs with; sourced by the other scripts.
# expat parses XML, SQLite stores the emulated registry's hives, libedit gives the shell line editing (BSD licence, unlike GNU readline),
# GoogleTest and Google Benchmark drive the tests and benchmarks; spdlog is the logger benchmark's baseline.
# python3-dev and pybind11-dev build the Python package qxprop against the system Python; python3-pytest runs its tests.
# groff-base renders the manual page of qxprop (its test fails on any groff warning); man-db finds it once installed.
QX_PACKAGES="build-essential cmake pkg-config libexpat1-dev libsqlite3-dev libedit-dev libgtest-dev libgmock-dev googletest libbenchmark-dev libspdlog-dev locales python3-dev pybind11-dev python3-pytest groff-base man-db"

# Installs whatever of QX_PACKAGES is missing; asks for sudo only when not root.
qx_install_packages() {
    missing=""
    for p in $QX_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" = 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "installing:$missing"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}
