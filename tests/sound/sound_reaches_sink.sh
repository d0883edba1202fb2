#!/usr/bin/env bash
# Plays a tone with the real player and records the audio device's monitor:
# the recording must hold the tone, not silence. Run by ctest natively, in the
# environment of the test run (display, Wine prefix, audio device).
set -u
exe=$1
dir=$(mktemp -d)
clips_unix="${TAVLIN_CLIPS#Z:}"
clips_unix="${clips_unix//\\//}"
[ -s "$clips_unix/tone.wav" ] || { echo "no clips in '$TAVLIN_CLIPS'"; exit 1; }
parec -d nullsink.monitor --raw --format=s16le --channels=1 --rate=8000 > "$dir/sink.raw" 2>/dev/null &
recorder=$!
"${WINE:-wine}" "$exe" "$TAVLIN_CLIPS\\tone.wav" >/dev/null 2>&1 &
player=$!
sleep 7
kill "$player" 2>/dev/null
kill "$recorder" 2>/dev/null
wait "$player" "$recorder" 2>/dev/null
peak=$(od -An -t d2 -v "$dir/sink.raw" | tr -s ' ' '\n' | awk '$1 != "" { v = $1 < 0 ? -$1 : $1; if (v > m) m = v } END { print m + 0 }')
bytes=$(stat -c %s "$dir/sink.raw")
rm -rf "$dir"
echo "recorded $bytes bytes, peak amplitude $peak of 32767"
[ "$bytes" -gt 8000 ] && [ "$peak" -gt 3000 ]
