#!/usr/bin/env bash
# Peak memory of the stand-in server while it receives several large objects at once.
#
#   bash bench/standin-memory.sh build/bin/ZarvoServer.exe [COUNT [MEGABYTES [LIMIT_MB]]]
#
# Makes COUNT images (default 4) of MEGABYTES each (default 200) with dcmtk's dump2dcm,
# starts the stand-in on a free port, sends all of them at the same time with storescu (one
# association each), and reads the server's peak resident size (VmHWM) from /proc once every
# image is stored. Fails when the peak is above LIMIT_MB (default 64) or an image did not
# arrive whole. Needs about 2 x COUNT x MEGABYTES of space in the temporary folder.
set -euo pipefail

server=$(realpath "${1:?usage: standin-memory.sh ZARVOSERVER [COUNT [MEGABYTES [LIMIT_MB]]]}")
count=${2:-4}
megabytes=${3:-200}
limit=${4:-64}
for tool in dump2dcm storescu python3; do
    command -v "$tool" >/dev/null || { echo "standin-memory: needs $tool" >&2; exit 2; }
done

work=$(mktemp -d)
server_pid=
cleanup() {
    if [[ -n $server_pid ]]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# 16-bit pixels: a square image of about MEGABYTES, rounded down to an even side.
side=$(python3 -c "import math; s=int(math.sqrt($megabytes*1024*1024/2)); print(s - s % 2)")
truncate -s $((side * side * 2)) "$work/pixels.raw"
cat >"$work/image.dump" <<EOF
(0008,0016) UI =SecondaryCaptureImageStorage
(0008,0060) CS [OT]
(0010,0010) PN [Memory^Test]
(0028,0002) US 1
(0028,0004) CS [MONOCHROME2]
(0028,0010) US $side
(0028,0011) US $side
(0028,0100) US 16
(0028,0101) US 16
(0028,0102) US 15
(0028,0103) US 0
(7fe0,0010) OW =$work/pixels.raw
EOF
for ((n = 1; n <= count; n++)); do
    dump2dcm +Ug +te "$work/image.dump" "$work/image-$n.dcm"
done
rm "$work/pixels.raw"
size=$(stat -c %s "$work/image-1.dcm")

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir "$work/folder"
(cd "$work/folder" && exec "$server" -dw -od images/ -aet MEMORY "$port") >"$work/server.log" 2>&1 &
server_pid=$!
for ((try = 0; try < 100; try++)); do
    if echoscu -aec MEMORY 127.0.0.1 "$port" 2>/dev/null; then break; fi
    sleep 0.1
done

start=$(date +%s.%N)
senders=()
for ((n = 1; n <= count; n++)); do
    storescu -aec MEMORY 127.0.0.1 "$port" "$work/image-$n.dcm" &
    senders+=($!)
done
failed=0
for pid in "${senders[@]}"; do wait "$pid" || failed=1; done
seconds=$(python3 -c "import time; print(f'{time.time() - $start:.1f}')")
peak_kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$server_pid/status")

stored=$(find "$work/folder/images" -name '*.dcm' ! -name '.*' -size "+$(((size - 1024) / 1024))k" | wc -l)
peak_mb=$((peak_kb / 1024))
echo "$count x $((size / 1024 / 1024)) MB sent at once in ${seconds} s; $stored stored whole;" \
     "server peak RSS $peak_mb MB (limit $limit MB)"
if ((failed || stored != count)); then
    echo "standin-memory: not every image was stored" >&2
    cat "$work/server.log" >&2
    exit 1
fi
if ((peak_mb > limit)); then
    echo "standin-memory: peak RSS $peak_mb MB is above $limit MB" >&2
    exit 1
fi
