#!/usr/bin/env bash
# Builds the tree for 32-bit ARM (Debian armhf, the board's architecture) into
# build/armhf and runs the unit suites that need no real-time media through
# qemu-arm: the check that the code holds where pointers, long and time_t are
# 32 bits and char is unsigned. It also compiles every product source of the
# device configuration (build/armhf-device; objects only, as linking needs the
# vendor's libraries). Installs what it misses.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$top"
triplet=arm-linux-gnueabihf
start=$SECONDS

sudo_cmd=()
[[ $EUID -eq 0 ]] || sudo_cmd=(sudo)
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# The armhf libraries that Debian installs beside their amd64 twins, and the
# cross tools. Recommends are left out: they would pull in drivers and, with
# qemu-user-binfmt, a machine-wide setting.
wanted=(crossbuild-essential-armhf qemu-user
    libgstreamer1.0-dev:armhf libglib2.0-dev:armhf libpng-dev:armhf libinih-dev:armhf
    libavcodec-dev:armhf libavutil-dev:armhf libswscale-dev:armhf libgtest-dev:armhf libgmock-dev:armhf liborc-0.4-dev:armhf
    libgstreamer-plugins-base1.0-0:armhf libgstreamer-gl1.0-0:armhf libsdl1.2debian:armhf
    libsdl-image1.2:armhf libsdl-ttf2.0-0:armhf gstreamer1.0-plugins-base:armhf gstreamer1.0-plugins-good:armhf)
host/scripts/setup.sh
if ! dpkg --print-foreign-architectures | grep -qx armhf; then
    "${sudo_cmd[@]}" dpkg --add-architecture armhf
    "${sudo_cmd[@]}" apt-get update -q
fi
missing=()
for package in "${wanted[@]}"; do
    installed "$package" || missing+=("$package")
done
if (( ${#missing[@]} )); then
    echo "installing: ${missing[*]}"
    # An armhf library must have the version of its amd64 twin; apt upgrades
    # the twin when the archive has moved on, and would rather remove a
    # package than fail: refuse any plan that removes one.
    plan=$(apt-get install -s --no-install-recommends "${missing[@]}")
    if grep -q '^Remv' <<< "$plan"; then
        grep '^Remv' <<< "$plan"
        echo "installing the armhf packages would remove the packages above; stopping" >&2
        exit 1
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The development packages that cannot be installed beside their amd64 twins
# (and the RTSP server library, likewise) are unpacked into a folder of the
# build: their pkg-config files take that folder as their prefix, their
# library links point at the installed armhf libraries.
deps=$top/build/armhf-deps
unpacked=(libgstreamer-plugins-base1.0-dev libgstrtspserver-1.0-dev libgstrtspserver-1.0-0
    libsdl1.2-dev libsdl-image1.2-dev libsdl-ttf2.0-dev)
if [[ ! -f $deps/.made ]]; then
    rm -rf "$deps"
    mkdir -p "$deps/debs"
    (cd "$deps/debs" && apt-get download -q "${unpacked[@]/%/:armhf}")
    for deb in "$deps"/debs/*.deb; do
        dpkg-deb -x "$deb" "$deps"
    done
    libdir=$deps/usr/lib/$triplet
    sed -i 's|^prefix=/usr$|prefix=${pcfiledir}/../../..|' "$libdir"/pkgconfig/*.pc
    for link in "$libdir"/*.so; do
        target=$(readlink "$link")
        [[ -e $libdir/$target ]] || ln -sfn "/usr/lib/$triplet/$target" "$link"
    done
    touch "$deps/.made"
fi

toolchain=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/armhf.cmake" -DDASHREC_ARMHF_DEPS="$deps")
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
configure() {
    local dir=$1
    shift
    mkdir -p "$dir"
    cmake -S . -B "$dir" -G Ninja -Wno-dev "${toolchain[@]}" "${launcher[@]}" "$@" > "$dir/configure.log" 2>&1 ||
        { cat "$dir/configure.log"; exit 1; }
}

# The board's own configuration: every product source compiles for ARM
# (objects only: linking needs the vendor's libraries).
configure build/armhf-device -DDASHREC_PLATFORM=device -DDASHREC_TESTS=OFF
mapfile -t objects < <(ninja -C build/armhf-device -t targets all | sed -n 's/^\([^:]*\.o\): .*/\1/p')
ninja -C build/armhf-device "${objects[@]}"

# The host configuration, with the suites of the program's own logic and the
# programs they start. Left out, as they stand on the media engine running in
# real time, which emulation cannot keep up with, or on the card's loop
# devices and mounts: the engine, recording, playback, video output, live
# view, run mode, recorder, service screens, menus, phone app, storage,
# sensors and GPS update suites and the integration runs.
suites=(core prefs devices ui cardform assist speedcam)
targets=(core_tests prefs_test devices_micom devices_gpio devices_led devices_polling_gpio devices_scenario
    devices_boardsim boardsim ui_scanner_test ui_draw_test ui_window_test cardform_test cardform_tools_test
    cardform cardaudit assist_tests assist_callback_tests assist_lane_core_tests assist_lane_tests
    assist_collision_tests speedcam_db_tests speedcam_tests phonelink_tests dashrec dashrec_rsc sound_clips)
configure build/armhf
ninja -C build/armhf "${targets[@]}"

# Cases left out of those suites, and why:
# - the RTSP live streams (LiveStream.*), and whatever else is labelled
#   "realtime" in them: cameras and encoders in real time. The phone link's
#   program is labelled so for its live streams; its framing, command and
#   download cases run, without the pre-encoded loops that only the streams
#   replay (the loops' maker would encode H.265 under emulation);
# - PrefDeathTest.*: GoogleTest's "threadsafe" death tests run the test
#   program again, and an ARM program can start another only where the
#   kernel hands ARM programs to qemu (binfmt_misc), which this run does not
#   set up machine-wide;
# - Bus.MessagesFromSeveralThreadsArriveIntactAndInOrder: four threads send
#   at the pace of the device's; the bus drops what a full queue cannot take
#   (as designed), and an emulated receiver falls behind them;
# - Detectors.OffTimerCountsTheCarriedOverDurationAndTakesItsLimitFromThePreferences:
#   steps its clock through nine hours of 100 ms ticks, which emulation does
#   not finish within its limit.
# A case of the board simulator's timeline can miss its mark on a loaded
# machine under emulation: the failed cases run once more.
left_out='^(LiveStream\..*|PrefDeathTest\..*|Bus\.MessagesFromSeveralThreadsArriveIntactAndInOrder'
left_out+='|Detectors\.OffTimerCountsTheCarriedOverDurationAndTakesItsLimitFromThePreferences)$'
run_suites() {
    local labels
    labels="^suite:($(IFS='|'; echo "$*"))\$"
    ctest --test-dir build/armhf -j "$(nproc)" --output-on-failure --timeout 900 -L "$labels" -E "$left_out" \
        -FS replay_loops "${ctest_args[@]}" || ctest --test-dir build/armhf --output-on-failure --rerun-failed
}
status=0
ctest_args=(-LE realtime)
run_suites "${suites[@]}" || status=$?
ctest_args=()
run_suites phonelink || status=$?
echo "test-armhf: $((SECONDS - start)) s"
exit "$status"
