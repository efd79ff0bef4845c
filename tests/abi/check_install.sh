#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds a host against it twice:
# with find_package(vorn) (shared and static) and with pkg-config.
set -euo pipefail
build=$1 consumer=$2 cc=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
flags=()
if [ -n "${VORN_SANITIZE_FLAGS:-}" ]; then read -r -a flags <<<"$VORN_SANITIZE_FLAGS"; fi
cmake -S "$consumer" -B "$tmp/consumer" -DCMAKE_PREFIX_PATH="$tmp/prefix" \
  -DCMAKE_C_FLAGS="${flags[*]:-}" -DCMAKE_CXX_FLAGS="${flags[*]:-}" \
  -DCMAKE_EXE_LINKER_FLAGS="${flags[*]:-}" >/dev/null
cmake --build "$tmp/consumer" >/dev/null
LD_LIBRARY_PATH="$tmp/prefix/lib" "$tmp/consumer/consumer_shared"
"$tmp/consumer/consumer_static"
export PKG_CONFIG_PATH="$tmp/prefix/lib/pkgconfig"
# shellcheck disable=SC2046
"$cc" "${flags[@]}" -o "$tmp/pc_host" "$consumer/consumer.c" $(pkg-config --cflags --libs vorn)
LD_LIBRARY_PATH="$tmp/prefix/lib" "$tmp/pc_host"
echo "install: find_package and pkg-config both work"
