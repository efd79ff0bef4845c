#!/usr/bin/env bash
# Installs what the build, the tests and the tools need on Debian 12, as root.
# Idempotent: every step checks first and does nothing when its part is present.
set -euo pipefail

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "bootstrap: missing packages ($*); run as root to install them" >&2
    exit 1
  fi
}

# Debian packages, by the command or file that proves each is present.
declare -A probe=(
  [g++]="command -v g++"
  [clang]="command -v clang++"
  [cmake]="command -v cmake"
  [ninja-build]="command -v ninja"
  [pkg-config]="command -v pkg-config"
  [make]="command -v make"
  [git]="command -v git"
  [libgtest-dev]="test -f /usr/include/gtest/gtest.h"
  [libgmock-dev]="test -f /usr/include/gmock/gmock.h"
  [libbenchmark-dev]="test -f /usr/include/benchmark/benchmark.h"
  [libcurl4-openssl-dev]="test -f /usr/include/x86_64-linux-gnu/curl/curl.h -o -f /usr/include/curl/curl.h"
  [libcli11-dev]="test -f /usr/include/CLI/CLI.hpp"
  [libclang-rt-14-dev]="test -d /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux"
  [python3]="command -v python3"
  [openssl]="command -v openssl"
  [binutils]="command -v nm"
  [gcovr]="command -v gcovr"
  [ca-certificates]="test -d /etc/ssl/certs"
  [file]="command -v file"
)
missing=()
for pkg in "${!probe[@]}"; do
  sh -c "${probe[$pkg]}" >/dev/null 2>&1 || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  need_root "${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# yyjson 0.10 is not in Debian 12. Debian 13 ships it with no dependency beyond libc6,
# so its two packages are fetched from the machine's own archive (suite trixie) with a
# private apt state, leaving the system's sources and lists untouched.
if ! pkg-config --exists 'yyjson >= 0.10' 2>/dev/null; then
  need_root "libyyjson0 libyyjson-dev"
  src=/etc/apt/sources.list.d/debian.sources
  uri=$(awk '/^URIs:/{print $2; exit}' "$src" 2>/dev/null || true)
  if [ -z "$uri" ]; then
    uri=$(awk '$1=="deb"{print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  fi
  [ -n "$uri" ] || { echo "bootstrap: no Debian archive address in the apt sources" >&2; exit 1; }
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/lists/partial" "$tmp/cache/archives/partial"
  echo "deb $uri trixie main" >"$tmp/trixie.list"
  opts=(-o "Dir::Etc::SourceList=$tmp/trixie.list" -o Dir::Etc::SourceParts=/dev/null
        -o "Dir::State::Lists=$tmp/lists" -o "Dir::Cache=$tmp/cache")
  apt-get "${opts[@]}" update -q
  (cd "$tmp" && apt-get "${opts[@]}" download libyyjson0 libyyjson-dev)
  dpkg -i "$tmp"/libyyjson0_*.deb "$tmp"/libyyjson-dev_*.deb
  pkg-config --exists 'yyjson >= 0.10' || { echo "bootstrap: yyjson 0.10 did not install" >&2; exit 1; }
fi
