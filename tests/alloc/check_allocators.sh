#!/usr/bin/env bash
# The library must allocate only through malloc, realloc and calloc (which the
# allocation-failure test can fail): no C++ operator new, no libc strdup or
# other allocating helpers whose failures the test cannot provoke.
#   check_allocators.sh <static library>
set -euo pipefail
nm=${NM:-nm}
lib=$1
bad=$("$nm" -u "$lib" | awk '{print $NF}' | grep -E '^(_Znw|_Zna|strdup$|strndup$|__strdup$|__strndup$|asprintf$|vasprintf$|__asprintf|getline$|getdelim$|open_memstream$|realpath$|__cxa_throw$|__cxa_allocate_exception$|aligned_alloc$|posix_memalign$|memalign$|valloc$|reallocarray$)' | sort -u || true)
if [ -n "$bad" ]; then
  echo "the library uses allocators the failure test cannot see:"
  echo "$bad"
  exit 1
fi
echo "allocators: only malloc, realloc, calloc"
