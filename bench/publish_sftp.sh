#!/usr/bin/env bash
# Times a republish over SFTP on the loopback after 10 pictures changed,
# next to the full first publish of the same album.
#
# Makes (once, then cached) an image folder of FOLDERS x PER_FOLDER
# photograph-like JPEGs of 1600 x 1200 (the copies the album holds do not
# depend on how large the photographs are beyond that), makes the album
# with mirofoto generate, starts an OpenSSH server of its own on a free port
# of 127.0.0.1 (generated host and user keys, its own configuration, run as
# this user; stopped at the end), and then:
#   first     mirofoto publish into an empty folder on that server;
#   republish after 10 pictures got a quarter turn and an update run
#             re-made what they change: mirofoto publish again.
# Prints both times and the files sent; the republish must send exactly the
# files whose bytes the update run changed (rclone's statistics count the
# transfers), and the target must equal the output folder at the end.
#
#   bench/publish_sftp.sh [FOLDERS [PER_FOLDER]]     (default 10 x 100 = 1,000 photographs)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests >/dev/null

folders=${1:-10}
per_folder=${2:-100}
photos=$PWD/bench/out/publish-photos-$folders-$per_folder
work=$PWD/bench/out/publish-sftp
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target mirofoto imgctl tagora album_run_photos update_run_turn >/dev/null
mirofoto=$PWD/build/bin/mirofoto

. bench/photos.sh
bench_photos "$photos" "$folders" "$per_folder" 8 1600x1200

rm -rf "$work"
mkdir -p "$work/home/.ssh" "$work/ssh" "$work/site"
export MIROFOTO_HOME=$work/mirofoto HOME=$work/home
mkdir -p "$MIROFOTO_HOME"
album=$work/album
site=$work/site/album

# The server: keys, a free port, its own configuration.
ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/user_key"
cp "$work/ssh/user_key.pub" "$work/ssh/authorized_keys"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
[ "$(id -u)" -ne 0 ] || mkdir -p /run/sshd
cat >"$work/ssh/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $port
HostKey $work/ssh/host_key
PidFile none
AuthorizedKeysFile $work/ssh/authorized_keys
StrictModes no
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
PermitRootLogin prohibit-password
AllowUsers $(id -un)
Subsystem sftp internal-sftp
ForceCommand internal-sftp
LogLevel ERROR
CONF
/usr/sbin/sshd -D -e -f "$work/ssh/sshd_config" -E "$work/ssh/sshd.log" &
sshd=$!
trap 'kill $sshd 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break
  sleep 0.05
done
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$work/ssh/host_key.pub")" >"$HOME/.ssh/known_hosts"
target=":sftp,host=127.0.0.1,port=$port,user=$(id -un),key_file=$work/ssh/user_key:$site"

"$mirofoto" generate --image-folder "$photos" --output "$album" --create-output --existing overwrite \
  >"$work/generate1.log" 2>&1 || { cat "$work/generate1.log"; exit 1; }
files=$(find "$album" -type f ! -name '.mirofoto-*' | wc -l)
echo "$((folders * per_folder)) photographs; the album: $files files, $(du -sh --exclude='.mirofoto-*' "$album" | cut -f1); $(nproc) cores"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"

now() { date +%s.%N; }
publish() {  # publish LOG
  "$mirofoto" publish --output "$album" --to "$target" >"$1" 2>&1 || { cat "$1"; exit 1; }
}
sent() { sed -n 's/.*送った \([0-9]*\)、.*rclone の転送 \([0-9]*\).*/\1 \2/p' "$1"; }

t0=$(now)
publish "$work/first.log"
t1=$(now)
read -r first_sent first_transfers < <(sent "$work/first.log")

# Ten pictures turned by a quarter, and the update run that follows.
(cd "$album" && find . -type f ! -name '.mirofoto-*' -exec sha256sum {} + | sort) >"$work/before.sum"
step=$(( folders * per_folder / 10 > 0 ? folders * per_folder / 10 : 1 ))
for picture in $(find "$photos" -name '*.JPG' | sort | awk -v step="$step" '(NR - 1) % step == 0' | head -n 10); do
  build/bin/update_run_turn "$photos" "$picture" 90
done
"$mirofoto" generate --image-folder "$photos" --output "$album" --existing update \
  >"$work/generate2.log" 2>&1 || { cat "$work/generate2.log"; exit 1; }
(cd "$album" && find . -type f ! -name '.mirofoto-*' -exec sha256sum {} + | sort) >"$work/after.sum"
changed=$(comm -13 "$work/before.sum" "$work/after.sum" | wc -l)

t2=$(now)
publish "$work/republish.log"
t3=$(now)
read -r re_sent re_transfers < <(sent "$work/republish.log")

diff -r -x '.mirofoto-*' "$album" "$site" >/dev/null && equal=yes || equal=NO
printf 'first publish:  %6.2f s, %d files sent (rclone transfers %d)\n' "$(awk "BEGIN { print $t1 - $t0 }")" "$first_sent" \
  "$first_transfers"
printf 'republish:      %6.2f s, %d files sent (rclone transfers %d); files the update changed: %d\n' \
  "$(awk "BEGIN { print $t3 - $t2 }")" "$re_sent" "$re_transfers" "$changed"
echo "target equals the output folder: $equal"
[ "$re_transfers" -eq "$changed" ] && [ "$equal" = yes ] || { echo "publish_sftp.sh: FAILED" >&2; exit 1; }
