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
host/scripts/build.sh build/armhf "${toolchain[@]}" "${launcher[@]}"

# The board's own configuration: every product source compiles for ARM.
mkdir -p build/armhf-device
cmake -S . -B build/armhf-device -G Ninja -Wno-dev "${toolchain[@]}" "${launcher[@]}" \
    -DDASHREC_PLATFORM=device -DDASHREC_TESTS=OFF > build/armhf-device/configure.log 2>&1 ||
    { cat build/armhf-device/configure.log; exit 1; }
mapfile -t objects < <(ninja -C build/armhf-device -t targets all | sed -n 's/^\([^:]*\.o\): .*/\1/p')
ninja -C build/armhf-device "${objects[@]}"

# The suites of the program's own logic. Left out: the real-time cases
# (label "realtime": cameras and encoders in real time, far too slow under
# emulation), and the suites of the media engine, recording, playback, video
# output, live view, run mode, recorder, service screens, menus, phone app,
# storage, sensors and the integration runs, which stand on that engine or on
# the card's loop devices and mounts.
suites='^(core_|bus_|timer_|log_|prefs_|pref_|eeprom|rtc|devices_|ui_|draw_|window_|scanner_|cardform|assist_|adas|speedcam|phonelink_framing|bmnet)'
status=0
ctest --test-dir build/armhf -j "$(nproc)" --output-on-failure --timeout 900 -LE realtime -R "$suites" || status=$?
echo "test-armhf: $((SECONDS - start)) s"
exit "$status"
