#!/usr/bin/env bash
# Runs the libFuzzer targets, two at a time (one per core), each for SECONDS
# or RUNS executions, starting from its kept corpus, and merges what they
# found into fuzz/corpus/<target> (minimised with -merge=1). Prints each
# target's final statistics.
#
#   bash fuzz/run_fuzz.sh BUILD_DIR SECONDS [TARGET...]   (-runs=N with RUNS=N)
#
# BUILD_DIR must be configured with clang, -DMP3PLAYER_FUZZ=ON and
# -DMP3PLAYER_SANITIZE=ON; the targets are built here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run_fuzz.sh BUILD_DIR SECONDS [TARGET...]}" && pwd)
seconds=${2:?usage: run_fuzz.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(mp3stream mp3memory frames loop_tags playlist)

# Inputs a little larger than a few frames reach every path; the playlist
# target needs room for a line past the 511-byte limit.
max_len() { if [ "$1" = playlist ]; then echo 2048; else echo 4096; fi; }
# No fill of fresh allocations and a small quarantine: faster, and the
# sanitizers still check every access.
export ASAN_OPTIONS=max_malloc_fill_size=0:quarantine_size_mb=16
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for t in "${targets[@]}"; do
    cmake --build "$build" --target "fuzz_$t" > /dev/null
done

run() {
    local t=$1 limit
    mkdir -p "$work/$t"
    if [ -n "${RUNS:-}" ]; then limit=-runs=$RUNS; else limit=-max_total_time=$seconds; fi
    "$build/fuzz/fuzz_$t" "$limit" -max_len="$(max_len "$t")" -dict="$here/mpeg.dict" \
        -print_final_stats=1 -print_pcs=0 "$work/$t" "$here/corpus/$t" > "$work/$t.log" 2>&1 || {
        echo "== $t: FINDING"; tail -n 60 "$work/$t.log"; return 1; }
    # The kept corpus becomes the smallest set of inputs that covers all that
    # the old one and the new finds cover.
    mkdir -p "$work/$t.kept"
    "$build/fuzz/fuzz_$t" -merge=1 -max_len="$(max_len "$t")" "$work/$t.kept" "$here/corpus/$t" "$work/$t" \
        > /dev/null 2>&1
    rm -f "$here/corpus/$t"/*
    cp "$work/$t.kept"/* "$here/corpus/$t"/
    echo "== $t"
    grep -E '^#[0-9]+[[:space:]]+DONE|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/$t.log"
    echo "kept corpus: $(find "$here/corpus/$t" -type f | wc -l) inputs, $(du -sk "$here/corpus/$t" | cut -f1) kB"
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    run "${targets[i]}" & first=$!
    if [ $((i + 1)) -lt ${#targets[@]} ]; then run "${targets[i + 1]}" & second=$!; else second=; fi
    wait "$first" || status=1
    if [ -n "$second" ]; then wait "$second" || status=1; fi
done
exit $status
