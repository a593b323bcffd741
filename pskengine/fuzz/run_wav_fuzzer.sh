#!/bin/sh
# Fuzzes the engine's WAV reading for a short while with libFuzzer (clang),
# starting from a few valid and damaged sound files.
#
#   pskengine/fuzz/run_wav_fuzzer.sh [SECONDS]     (default 60)
#
# Builds its own small program with clang++ (AddressSanitizer and
# UndefinedBehaviorSanitizer on), independent of the CMake build; exits
# non-zero and leaves a crash-* file when the fuzzer finds a fault.
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
src=$here/../src
work=${TMPDIR:-/tmp}/tonvista_wav_fuzz
mkdir -p "$work/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I"$src" \
  "$here/wav_fuzzer.cpp" "$src/sources/wav_source.cpp" "$src/dsp/resampler.cpp" \
  $(pkg-config --cflags --libs sndfile) -o "$work/wav_fuzzer"
# Seeds: a short valid WAV (8 kHz mono), a stereo 44.1 kHz one, and a float one.
python3 - "$work/corpus" <<'PY'
import struct, sys, math, os
d = sys.argv[1]
def wav(name, rate, ch, fmt, bits, frames):
    data = b''.join(struct.pack('<h', int(8000 * math.sin(i / 5))) if fmt == 1
                    else struct.pack('<f', math.sin(i / 5)) for i in range(frames * ch))
    hdr = b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' + struct.pack(
        '<IHHIIHH', 16, fmt, ch, rate, rate * ch * bits // 8, ch * bits // 8, bits)
    open(os.path.join(d, name), 'wb').write(hdr + b'data' + struct.pack('<I', len(data)) + data)
wav('mono8k.wav', 8000, 1, 1, 16, 400)
wav('stereo44k.wav', 44100, 2, 1, 16, 300)
wav('float.wav', 8000, 1, 3, 32, 200)
PY
cd "$work"
"$work/wav_fuzzer" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=1024 corpus
