# Shared by tools/run and tools/test: packages, the build, and a private
# display, audio device and Wine server. Sourced, not run.
set -euo pipefail

TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Where builds, clips and the run's prefix go: a second run beside the first
# names a folder of its own.
BUILD=${TAVLIN_BUILD:-$TOP/build}
export DEBIAN_FRONTEND=noninteractive

say() { echo "[tavlin] $*"; }

need_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing ${missing[*]}"
    if [ -z "${APT_UPDATED:-}" ]; then apt-get update -qq; APT_UPDATED=1; fi
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_packages() {
    need_packages g++ cmake make googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
        binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 \
        wine wine64 xvfb openbox x11-utils xdotool imagemagick pulseaudio pulseaudio-utils ffmpeg python3-xlib \
        gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly \
        gstreamer1.0-plugins-bad gstreamer1.0-libav
    # 32-bit Wine for the release build; when it cannot be had, the x86_64
    # build under 64-bit Wine stands in.
    if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
        say "installing 32-bit Wine"
        dpkg --add-architecture i386
        APT_UPDATED=
        need_packages wine32:i386 gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 \
            gstreamer1.0-libav:i386 gstreamer1.0-plugins-ugly:i386 gstreamer1.0-plugins-bad:i386 \
            || say "32-bit Wine could not be installed"
    fi
}

build_all() {
    # TAVLIN_ARCHES="i686" builds one target alone, for a quick run while
    # working; the build the tests will run is built whatever it names.
    local arches=${TAVLIN_ARCHES:-i686 x86_64}
    if [ "${TAVLIN_ARCH:-}" = x86_64 ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        [[ " $arches " == *" x86_64 "* ]] || arches="$arches x86_64"
    fi
    for arch in $arches; do
        cmake -S "$TOP" -B "$BUILD/$arch" -DCMAKE_TOOLCHAIN_FILE="$TOP/cmake/toolchain-$arch.cmake" \
            -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$BUILD/$arch" -j"$(nproc)" -- --no-print-directory >/dev/null
        say "built $BUILD/$arch/tavlin.exe"
    done
}

# The build the tests and the demo run: i686 under 32-bit Wine when it works.
# The 32-bit loader is tried for real: on some machines it installs but the
# kernel cannot run 32-bit programs. TAVLIN_ARCH=x86_64 asks for the 64-bit
# build.
choose_arch() {
    if [ "${TAVLIN_ARCH:-}" != x86_64 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        ARCH=i686
        WINE=wine
    else
        ARCH=x86_64
        WINE=/usr/lib/wine/wine64
        [ -x "$WINE" ] || WINE=wine64
        export WINELOADER=$WINE
        [ "${TAVLIN_ARCH:-}" = x86_64 ] || say "32-bit Wine cannot run here: testing the x86_64 build under 64-bit Wine"
    fi
    export WINE  # tests that start the program from a script use it too
}

PIDS_TO_STOP=()

stop_environment() {
    set +e
    if [ -n "${WINESERVER_PID:-}" ]; then
        # Ends the programs of this prefix's server (its services too), then
        # the server itself.
        wineserver -k >/dev/null 2>&1
        kill "$WINESERVER_PID" 2>/dev/null
        wait "$WINESERVER_PID" 2>/dev/null
    fi
    for pid in "${PIDS_TO_STOP[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${PIDS_TO_STOP[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    done
}

start_display() {
    local n
    for n in $(seq 91 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    PIDS_TO_STOP+=($!)
    export DISPLAY=":$n"
    for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
    # Users have a window manager: title bars, focus and full screen behave
    # as on a desktop only with one.
    # On a busy machine it may fail to come up: it is started again, and a
    # display left without one is said aloud.
    local attempt wm
    for attempt in 1 2 3; do
        openbox --sm-disable >/dev/null 2>&1 &
        wm=$!
        PIDS_TO_STOP+=($wm)
        for _ in $(seq 150); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break 2
            kill -0 "$wm" 2>/dev/null || break
            sleep 0.1
        done
        kill "$wm" 2>/dev/null
    done
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        say "private display $DISPLAY with openbox"
    else
        say "private display $DISPLAY: openbox did not start"
    fi
}

start_audio() {
    export XDG_RUNTIME_DIR="$RUN_DIR/xdg"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    pulseaudio -D --exit-idle-time=-1 --system=false -n --load="module-null-sink sink_name=nullsink" \
        --load=module-native-protocol-unix >/dev/null 2>&1 || say "no audio device"
    for _ in $(seq 50); do [ -s "$XDG_RUNTIME_DIR/pulse/pid" ] && break; sleep 0.1; done
    [ -s "$XDG_RUNTIME_DIR/pulse/pid" ] && PIDS_TO_STOP+=("$(cat "$XDG_RUNTIME_DIR/pulse/pid")")
}

start_wine() {
    export WINEPREFIX="$RUN_DIR/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"  # the server cannot start in a folder that is not there
    wineserver -f -p >/dev/null 2>&1 </dev/null &
    WINESERVER_PID=$!
    if [ ! -e "$WINEPREFIX/system.reg" ]; then
        say "making a Wine prefix"
        "$WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
    fi
    # Wine's own services start with the first program and inherit its output.
    # Started by a test they would hold ctest's pipe open until the timeout, so
    # start them here, on /dev/null, to live as long as the server.
    "$WINE" wineboot >/dev/null 2>&1 </dev/null || true
}

# The clips the media tests play, made fresh by ffmpeg; their folder is
# handed to the tests as a Windows path in TAVLIN_CLIPS.
make_clips() {
    local dir="$BUILD/clips" q="-loglevel error -y"
    rm -rf "$dir"
    mkdir -p "$dir"
    ffmpeg $q -f lavfi -i color=c=red:s=320x240:r=25:d=2 -f lavfi -i sine=frequency=440:duration=2 \
        -c:v mjpeg -q:v 3 -c:a pcm_s16le -shortest "$dir/red.avi"
    ffmpeg $q -f lavfi -i testsrc=s=320x240:r=25:d=6 -f lavfi -i sine=frequency=440:duration=6 \
        -c:v mjpeg -q:v 5 -c:a pcm_s16le -shortest "$dir/long.avi"
    ffmpeg $q -f lavfi -i testsrc=s=160x120:r=25:d=12 -c:v mjpeg -q:v 5 "$dir/steps.avi"
    # a whole clip shorter than a second: 15 frames with sound
    ffmpeg $q -f lavfi -i testsrc=s=320x240:r=25:d=0.6 -f lavfi -i sine=frequency=440:duration=0.6 \
        -c:v mjpeg -q:v 5 -c:a pcm_s16le -shortest "$dir/short.avi"
    # red with a blue band along the top that removing black borders crops away
    ffmpeg $q -f lavfi -i color=c=red:s=320x240:r=25:d=6 -vf "drawbox=x=0:y=0:w=320:h=24:color=blue:t=fill" \
        -c:v mjpeg -q:v 3 "$dir/banded.avi"
    # light grid lines over a dark ground of one colour, still for 2 s, then
    # its hue turns: frames tell themselves apart, and smoothing shows along
    # every line; the lines differ in brightness alone, so no decoder's colour
    # subsampling blurs them
    local hue="PI*0.4*max(T-2\,0)"
    ffmpeg $q -f lavfi -i "nullsrc=s=160x120:r=25:d=6,format=yuvj444p,geq=lum='80+90*max(lt(mod(X\,16)\,2)\,lt(mod(Y\,16)\,2))':cb='128+40*cos($hue)':cr='128+40*sin($hue)'" \
        -c:v mjpeg -q:v 2 -pix_fmt yuvj444p "$dir/hues.avi"
    ffmpeg $q -f lavfi -i sine=frequency=440:duration=2 "$dir/tone.wav"
    ffmpeg $q -f lavfi -i sine=frequency=440:duration=2 "$dir/tone.mp3"
    local green="-f lavfi -i color=c=green:s=320x240:r=25:d=2 -f lavfi -i sine=frequency=440:duration=2 -shortest"
    ffmpeg $q $green -c:v wmv2 -c:a wmav2 "$dir/green.wmv"
    ffmpeg $q $green -c:v libtheora -c:a libvorbis "$dir/green.ogv"
    # (the program-stream muxer warns of buffer underflows at this low delay)
    ffmpeg $q -loglevel fatal $green -c:v mpeg1video -c:a mp2 -muxdelay 0.001 -muxpreload 0.001 "$dir/green.mpg"
    # long, small clips, each known by its length, for the stress test's
    # track changes: none ends while the commands come
    local seconds
    for seconds in 40 50 60; do
        ffmpeg $q -f lavfi -i testsrc=s=160x120:r=25:d=$seconds -c:v mjpeg -q:v 8 "$dir/span$seconds.avi"
    done
    # a 16:9 clip, to change the picture's shape between tracks
    ffmpeg $q -f lavfi -i color=c=green:s=320x180:r=25:d=2 -c:v mjpeg -q:v 3 "$dir/wide.avi"
    # a name with no form in a Western code page: opened by its short name
    cp "$dir/red.avi" "$dir/日本語の動画.avi"
    head -c 600000 "$dir/long.avi" > "$dir/truncated.avi"
    # eight seconds promised by the header, the first 60,000 bytes present:
    # a frame or two, then nothing
    ffmpeg $q -f lavfi -i testsrc=s=320x240:r=25:d=8 -f lavfi -i sine=frequency=440:duration=8 \
        -c:v mjpeg -q:v 5 -c:a pcm_s16le -shortest "$dir/eight.avi"
    head -c 60000 "$dir/eight.avi" > "$dir/stalled.avi"
    rm "$dir/eight.avi"
    # hostile media: no bytes, a header cut short, text, sound under a video
    # name, a 1 x 1 picture, and a picture whose headers claim 60000 x 60000
    : > "$dir/empty.avi"
    head -c 100 "$dir/red.avi" > "$dir/header.avi"
    echo "this is not a video" > "$dir/text.avi"
    cp "$dir/tone.wav" "$dir/tone.avi"
    ffmpeg $q -f lavfi -i color=c=red:s=2x2:r=25:d=1 -vf scale=1:1 -c:v rawvideo -pix_fmt bgr24 "$dir/tiny.avi"
    python3 - "$dir/red.avi" "$dir/huge.avi" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(b"avih") + 8
struct.pack_into("<II", data, at + 32, 60000, 60000)
at = data.find(b"strf") + 8
struct.pack_into("<ii", data, at + 4, 60000, 60000)
open(sys.argv[2], "wb").write(data)
PY
    # a valid header and index over a body of noise
    cp "$dir/steps.avi" "$dir/corrupt.avi"
    local size; size=$(stat -c %s "$dir/steps.avi")
    head -c $((size - 24576)) /dev/urandom | dd of="$dir/corrupt.avi" bs=4096 seek=4 conv=notrunc status=none
    head -c 65536 /dev/urandom > "$dir/random.avi"
    export TAVLIN_CLIPS="Z:${dir//\//\\}"
}

# RUN_DIR: a folder of this run under the build folder.
start_environment() {
    RUN_DIR="${RUN_DIR:-$BUILD/run}"
    mkdir -p "$RUN_DIR"
    trap stop_environment EXIT
    start_display
    start_audio
    start_wine
}
