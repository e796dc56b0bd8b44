# shellcheck shell=bash
# Helpers for the install tests; sourced by the scripts beside this file.

passed=0
failed=0

# check DESCRIPTION COMMAND...: runs the command, reports and counts the
# result, and returns the command's success or failure.
check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok      $what"
        passed=$((passed + 1))
    else
        echo "FAILED  $what"
        failed=$((failed + 1))
        return 1
    fi
}

# summary: prints the closing count; fails when any check failed.
summary() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# build_with_cmake DIR SOURCE [PREFIX]: builds the C program SOURCE as
# DIR/build/app with the smallest CMake project a user of the library writes,
# five commands; CMake looks for the almp3 package under PREFIX first when it
# is given. Shows CMake's output when it fails.
build_with_cmake() {
    local dir=$1 source=$2 prefix=${3:-}
    mkdir -p "$dir"
    cp "$source" "$dir/"
    printf '%s\n' 'cmake_minimum_required(VERSION 3.18)' 'project(app C)' 'find_package(almp3 1.0 REQUIRED)' \
        "add_executable(app $(basename "$source"))" 'target_link_libraries(app PRIVATE almp3::almp3)' \
        > "$dir/CMakeLists.txt"
    if ! { cmake -S "$dir" -B "$dir/build" ${prefix:+"-DCMAKE_PREFIX_PATH=$prefix"} \
               -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" && cmake --build "$dir/build"; } > "$dir/cmake.log" 2>&1; then
        cat "$dir/cmake.log"
        return 1
    fi
}

# make_tone DIR: writes DIR/tone.mp3, 3 seconds of a 440 Hz sine at half scale.
make_tone() {
    sox -q -n -r 44100 -c 2 -b 16 "$1/tone.wav" synth 3 sine 440 vol 0.5
    lame --quiet -b 128 "$1/tone.wav" "$1/tone.mp3"
}

# start_display DIR: starts Xvfb on a free display and prepares DIR for
# programs run with in_display: a HOME, and ALSA's default device writing the
# sound to DIR/capture.raw (unsigned 16-bit stereo 44100 Hz).
start_display() {
    local n
    display_dir=$1
    for n in $(seq 200 299); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp > /dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 100); do
            [ -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$xvfb_pid" 2> /dev/null && break
            sleep 0.1
        done
        # Another process may have taken the display first: then Xvfb ends.
        sleep 0.2
        kill -0 "$xvfb_pid" 2> /dev/null && break
        wait "$xvfb_pid" 2> /dev/null
    done
    display=:$n
    printf 'pcm.!default { type file; slave.pcm "null"; file "%s"; format "raw"; perm 0644 }\n' \
        "$display_dir/capture.raw" > "$display_dir/asound.conf"
    rm -f "$display_dir/capture.raw"
    mkdir -p "$display_dir/home"
}

# stop_display: ends the Xvfb that start_display started.
stop_display() {
    kill "$xvfb_pid"
    wait "$xvfb_pid" 2> /dev/null || true
}

# in_display COMMAND...: runs the command on that display with that sound.
in_display() {
    DISPLAY=$display HOME=$display_dir/home ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$display_dir/asound.conf "$@"
}

# play_headless DIR PROGRAM ARGS...: runs the program to its end (60 s at
# most) on a display of its own, output to DIR/play.log. Returns its status.
play_headless() {
    local dir=$1 status=0
    shift
    start_display "$dir"
    in_display timeout 60 "$@" > "$dir/play.log" 2>&1 || status=$?
    stop_display
    return "$status"
}

# sound_of_tone DIR MIN_SECONDS MAX_SECONDS: the capture is MIN to MAX
# seconds long and holds the 440 Hz tone of make_tone on both channels at
# full level from 0.5 to 2 seconds (a half-scale sine has an RMS level of 0.35).
sound_of_tone() {
    local channel length rms freq
    length=$(sox -t raw -r 44100 -e unsigned -b 16 -c 2 "$1/capture.raw" -n stat 2>&1 | awk '/^Length/ { print $3 }')
    for channel in 1 2; do
        read -r rms freq < <(sox -t raw -r 44100 -e unsigned -b 16 -c 2 "$1/capture.raw" -n remix "$channel" trim 0.5 1.5 stat 2>&1 |
                             awk '/^RMS +amplitude/ { r = $3 } /^Rough/ { f = $3 } END { print r, f }')
        echo "channel $channel of ${length:-0} s: about $freq Hz, level $rms"
        awk -v l="${length:-0}" -v lo="$2" -v hi="$3" -v f="$freq" -v r="$rms" \
            'BEGIN { exit !(l >= lo && l <= hi && f >= 420 && f <= 460 && r >= 0.30 && r <= 0.40) }' || return 1
    done
}
