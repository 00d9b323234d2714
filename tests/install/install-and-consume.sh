#!/bin/sh
# Installs the built library into a scratch prefix and builds a small program against it twice: with
# CMake's find_package and with pkg-config. Arguments: build directory, consumer source directory.
set -eu
build=$1
consumer=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/qx-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(find "$prefix" -name 'libqxPropHandling.so' -printf '%h\n' | head -n 1)
test -n "$libdir"
# The library with its version links, the header, the package files.
test -L "$libdir/libqxPropHandling.so"
ls "$libdir"/libqxPropHandling.so.* >/dev/null
test -f "$prefix/include/qxPropHandling.h"
test -f "$prefix/include/qxPropHandling.hpp"
test -f "$libdir/cmake/qxPropHandling/qxPropHandlingConfig.cmake"
test -f "$libdir/pkgconfig/qxPropHandling.pc"
# The shell, when built, with its manual page where man(1) finds it below the prefix.
if [ -f "$build/tools/qxprop" ]; then
    test -x "$prefix/bin/qxprop"
    test -f "$prefix/share/man/man1/qxprop.1"
    MANPATH="$prefix/share/man" man -w qxprop | grep -qx "$prefix/share/man/man1/qxprop.1"
fi

# 1. CMake package
cmake -S "$consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer"

# 2. pkg-config
PKG_CONFIG_PATH="$libdir/pkgconfig" cc -std=c99 -o "$work/pc-consumer" "$consumer/consumer.c" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs qxPropHandling) -Wl,-rpath,"$libdir"
"$work/pc-consumer"
echo "installed tree consumed through find_package and pkg-config"
