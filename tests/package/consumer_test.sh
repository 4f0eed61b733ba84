#!/usr/bin/env bash
# Installs the built library into a scratch prefix and builds a tiny consumer
# against it twice: through find_package(Vesk) and through pkg-config.
set -euo pipefail
build_dir=$1
src_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null

cmake -S "$src_dir" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64:${LD_LIBRARY_PATH:-}" "$work/cmake-build/consumer"

libdir=$(ls -d "$work"/prefix/lib*/pkgconfig | head -n 1)
PKG_CONFIG_PATH="$libdir" c++ -o "$work/consumer-pc" "$src_dir/consumer.cpp" \
  $(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs vesk)
LD_LIBRARY_PATH="$(dirname "$libdir")" "$work/consumer-pc"
echo "package consumer: 1 passed, 0 failed"
