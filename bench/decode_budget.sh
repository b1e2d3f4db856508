#!/usr/bin/env bash
# Peak memory of album runs over progressive JPEG "bombs": files of a few
# hundred kilobytes whose progressive 4:4:4 frames claim gigapixel-sized
# coefficient buffers (width x height x 3 x 2 bytes), which a decoder must
# hold whole. Each run is `mirofoto generate --threads 2` under
# /usr/bin/time -f %M (peak resident memory in KB).
#
#   bombs    four 16384 x 16384 files (1.5 GiB of coefficients each) with the
#            default budget of 1 GiB: each is refused alone, with its reason
#            naming MIROFOTO_DECODE_MEMORY_MIB, and the run stays small.
#   shared   four 11000 x 11000 files (692 MiB each) with the default
#            budget: two threads, but the budget admits one at a time, so
#            the peak stays under 1 GiB.
#   raised   the same four with MIROFOTO_DECODE_MEMORY_MIB=4096: two at
#            once, about twice the peak (what every run did before there
#            was a budget).
#
#   bench/decode_budget.sh          (about 1.5 GB of memory at most, for "raised")
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --bench >/dev/null

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl tagora >/dev/null
mirofoto=$PWD/build/bin/mirofoto
out=$PWD/bench/out/decode-budget
rm -rf "$out"
mkdir -p "$out"

# A complete progressive JPEG of width x height, 4:4:4, holding only its
# first (DC) scan with every block at zero: a flat grey picture whose file
# is 3 bits per 64 pixels.
make_bomb() {  # make_bomb FILE WIDTH HEIGHT
  python3 - "$@" <<'EOF'
import struct, sys
path, w, h = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
seg = lambda marker, payload: b"\xFF" + bytes([marker]) + struct.pack(">H", len(payload) + 2) + payload
data = b"\xFF\xD8"
data += seg(0xDB, b"\x00" + b"\x01" * 64)
data += seg(0xC2, struct.pack(">BHHB", 8, h, w, 3) + b"".join(bytes([i, 0x11, 0]) for i in (1, 2, 3)))
# DC table 0: a single one-bit code, for difference category 0.
data += seg(0xC4, b"\x00" + bytes([1] + [0] * 15) + b"\x00")
data += seg(0xDA, b"\x03\x01\x00\x02\x00\x03\x00\x00\x00\x00")
blocks = ((w + 7) // 8) * ((h + 7) // 8) * 3
data += b"\x00" * ((blocks + 7) // 8) + b"\xFF\xD9"
open(path, "wb").write(data)
EOF
}

for i in 1 2 3 4; do
  mkdir -p "$out/bombs/b" "$out/shared/s"
  make_bomb "$out/bombs/b/bomb$i.jpg" 16384 16384
  make_bomb "$out/shared/s/big$i.jpg" 11000 11000
done
echo "files: $(du -h "$out/bombs/b/bomb1.jpg" | cut -f1) for 16384 x 16384, $(du -h "$out/shared/s/big1.jpg" | cut -f1) for 11000 x 11000; $(nproc) cores"

limit_kb=$((1024 * 1024))
status=0
run() {  # run NAME FOLDER [BUDGET_MIB]
  local name=$1 folder=$2 budget=${3:-}
  local log="$out/$name.log"
  local start end code=0
  start=$(date +%s.%N)
  env ${budget:+MIROFOTO_DECODE_MEMORY_MIB=$budget} MIROFOTO_HOME="$out/home-$name" /usr/bin/time -f %M -o "$out/$name.kb" \
    "$mirofoto" generate --image-folder "$folder" --output "$out/album-$name" --create-output \
    --existing overwrite --threads 2 >"$log" 2>&1 || code=$?
  end=$(date +%s.%N)
  local kb
  kb=$(tail -1 "$out/$name.kb")
  # The line to read on standard error, the number for the checks on standard output.
  printf '%-7s budget %-8s exit %d  %6.1f s  peak %5d MiB\n' "$name" "${budget:-default}" "$code" \
    "$(awk "BEGIN { print $end - $start }")" $((kb / 1024)) >&2
  echo "$kb"
}

kb=$(run bombs "$out/bombs")
if [ "$kb" -ge "$limit_kb" ]; then echo "FAIL: the bombs took 1 GiB or more" >&2; status=1; fi
if [ "$(grep -c 'MIROFOTO_DECODE_MEMORY_MIB' "$out/bombs.log")" -lt 4 ]; then
  echo "FAIL: not every bomb was reported with the variable" >&2; status=1
fi
echo "reported:"
grep 'bomb1.jpg（' "$out/bombs.log" | sed 's/^/  /'

kb=$(run shared "$out/shared")
if [ "$kb" -ge "$limit_kb" ]; then echo "FAIL: four admitted pictures took 1 GiB or more" >&2; status=1; fi
if [ "$(find "$out/album-shared" -name '*_l.jpg' | wc -l)" -ne 4 ]; then
  echo "FAIL: not every admitted picture was made" >&2; cat "$out/shared.log" >&2; status=1
fi
run raised "$out/shared" 4096 >/dev/null
[ "$status" -eq 0 ] && echo "OK: every run stayed under 1 GiB"
exit "$status"
