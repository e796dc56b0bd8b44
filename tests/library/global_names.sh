#!/bin/bash
# Usage: global_names.sh LIBRARY
# Fails when the archive defines a strong global name (code, data, constants)
# other than the C interface's almp3_* functions and the almp3 namespace, so a
# program that links the library never meets a clash with its own names.
# Weak names (inline functions and template instantiations, std::'s among
# them) are merged by the linker and cannot clash.
set -euo pipefail

library=$1
names=$(nm -g --defined-only "$library" | c++filt)
if ! grep -q ' T almp3_create_mp3stream$' <<<"$names"; then
    echo "no C interface found in $library" >&2
    exit 1
fi
# AddressSanitizer adds an __odr_asan.<name> marker beside each global
# variable of an instrumented build; it belongs to the variable's name.
stray=$(awk '$2 ~ /^[TDBR]$/ { $1 = ""; $2 = ""; sub(/^  /, ""); print }' <<<"$names" |
    grep -Ev '^(almp3_[a-z0-9_]+|almp3::.*|__odr_asan\._ZN5almp3.*)$' || true)
if [ -n "$stray" ]; then
    echo "global names outside almp3_* and almp3:: in $library:" >&2
    echo "$stray" >&2
    exit 1
fi
echo "$(grep -c ' T almp3_' <<<"$names") C functions; every other strong name is in almp3::"
