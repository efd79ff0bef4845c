#!/usr/bin/env bash
# Compares the dynamic symbols a shared library defines with the expected list.
set -euo pipefail
lib=$1 expected=$2
nm_bin=${NM:-nm}
actual=$("$nm_bin" -D --defined-only "$lib" | awk '{print $NF}' | sed 's/@.*//' | sort -u)
want=$(sort -u "$expected")
if [ "$actual" != "$want" ]; then
  echo "exported symbols differ from $expected:"
  diff <(echo "$want") <(echo "$actual") || true
  exit 1
fi
echo "exports: $(echo "$actual" | wc -l) functions, as expected"
