#!/usr/bin/env bash
# The installed program as a user meets it. Builds the Debian package
# (scripts/package.sh, lintian included), installs it, validates its menu
# entry and AppStream metadata and finds its licence, and as a non-root
# user made for the test:
#   - makes the album of the sample photos with the installed mirofoto,
#   - changes a tick through the program's own store and sees it kept in
#     that user's ~/.config/mirofoto and used by the next run,
#   - runs the installed tagora-dump and Kelpo's dialog (offscreen),
#   - runs the tests that skip as root (they need a user the file system
#     refuses),
# checks that nothing was written into the installed folders, then removes
# the package and checks that nothing of it is left.
#
# Runs as root (it installs a package and adds a user); the machine's
# package and user are removed again at the end, also after a failure.
set -euo pipefail
cd "$(dirname "$0")/../.."
src=$PWD

if [ "$(id -u)" -ne 0 ]; then
  echo "package test: must run as root (installs a package, adds a user)" >&2
  exit 1
fi

user=mirofoto-pkgtest
stage=/tmp/mirofoto-package-test
fail() { echo "package test: FAILED: $*" >&2; exit 1; }
step() { echo "== $*"; }

cleanup() {
  if dpkg-query -W -f='${Status}' mirofoto 2>/dev/null | grep -q installed; then dpkg --purge mirofoto >/dev/null || true; fi
  if id "$user" >/dev/null 2>&1; then userdel --remove "$user" 2>/dev/null || true; fi
  rm -rf "$stage"
}
trap cleanup EXIT
cleanup

step "build the package"
deb=$(scripts/package.sh | tail -n 1)
build=$(cd "$(dirname "$deb")/.." && pwd)
echo "$deb"

step "install it"
dpkg -i "$deb" || DEBIAN_FRONTEND=noninteractive apt-get install -f -y -qq
dpkg-query -W -f='${Status}\n' mirofoto | grep -q 'install ok installed' || fail "the package is not installed"
desktop-file-validate /usr/share/applications/mirofoto.desktop || fail "the desktop entry does not validate"
echo "desktop entry valid"
metainfo=/usr/share/metainfo/io.github.mirofoto.metainfo.xml
[ -f "$metainfo" ] || fail "the package installs no AppStream metadata"
appstreamcli validate --no-net "$metainfo" || fail "the AppStream metadata do not validate"
grep -q '<launchable type="desktop-id">mirofoto.desktop</launchable>' "$metainfo" ||
  fail "the AppStream metadata do not name the menu entry"
grep -q '^License: Expat' /usr/share/doc/mirofoto/copyright || fail "the copyright file names no licence"
private=$(dirname "$(readlink -f /usr/bin/mirofoto)")
[ -f "$private/registry.ini" ] || fail "postinst wrote no registry in $private"
grep -q "$private/libtagora.so" "$private/registry.ini" || fail "libtagora.so is not registered"
grep -q "$private/libkelpo.so" "$private/registry.ini" || fail "libkelpo.so is not registered"
dpkg -L mirofoto | sort > "$build/package/files.txt"

# Every file of the package and the whole private folder, with checksums.
installedState() {
  find "$private" -printf '%p %y %m %s\n' | sort
  while IFS= read -r p; do
    if [ -f "$p" ] && [ ! -L "$p" ]; then sha256sum "$p"; fi
  done < "$build/package/files.txt"
}
before=$(installedState)

step "a user of its own"
useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
mkdir -p "$stage"
chmod 0755 "$stage"
# The sample photos the build made, copied into the user's home.
cp -r "$build/samples/サンプル写真" "$home/写真"
chown -R "$user:" "$home/写真"

# A clean login environment: nothing of root's MIROFOTO_* or XDG_* settings.
asUser() {
  runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 \
    TMPDIR=/tmp "$@"
}

step "mirofoto info as $user"
info=$(asUser mirofoto info)
echo "$info" | head -n 7
echo "$info" | grep -qx "settings folder:     $home/.config/mirofoto/" || fail "settings are not in ~/.config/mirofoto"
echo "$info" | grep -qx "temp folder:         $home/.cache/mirofoto/temp/" || fail "temp is not in ~/.cache/mirofoto"
echo "$info" | grep -q "^chosen because:      the program folder $private/ is not writable" || fail "no reason given"

step "mirofoto generate as $user"
asUser mkdir "$home/album"
asUser mirofoto generate --image-folder "$home/写真" --output "$home/album" --existing overwrite \
  > "$stage/generate.out" 2> "$stage/generate.err" || { cat "$stage/generate.err"; fail "generate failed"; }
tail -n 1 "$stage/generate.out"
[ ! -s "$stage/generate.err" ] || { cat "$stage/generate.err"; fail "generate complained"; }
[ -f "$home/album/index.htm" ] || fail "no menu page"
for kind in '*_l.jpg' '*_s.jpg' '*.htm'; do
  n=$(find "$home/album" -mindepth 2 -name "$kind" ! -name index.htm | wc -l)
  [ "$n" -eq 8 ] || fail "$n files $kind instead of 8"
done
[ "$(find "$home/album" -mindepth 2 -name index.htm | wc -l)" -eq 3 ] || fail "not 3 album pages"
hexName() { printf %s "$1" | od -An -tx1 | tr -d ' \n' | tr a-f A-F; }
family=$(hexName 家族)
grep -q "$family/index.htm" "$home/album/index.htm" || fail "the menu page lacks the family album"
echo "album: menu page, 3 albums, 8 pictures with their copies"

step "change a tick through the store, as $user"
asUser mirofoto tick --image-folder "$home/写真" --album 家族 off
stored="$home/.config/mirofoto/設定/$(printf %s "$home/写真/" | sed 's|/|￥|g')/設定.ini"
[ -f "$stored" ] || fail "no per-folder settings file at $stored"
iconv -f CP932 -t UTF-8 "$stored" | tr -d '\r' | grep -qx '家族=False' || fail "the tick is not stored in $stored"
[ "$(stat -c %a "$home/.config/mirofoto")" = 700 ] || fail "~/.config/mirofoto is not private"
echo "kept in $stored"
asUser mirofoto tick --image-folder "$home/写真" | grep -qx '\[ \] 家族' || fail "a new process does not see the tick"
asUser mirofoto generate --image-folder "$home/写真" --output "$home/album" --existing overwrite \
  > "$stage/generate2.out" 2>&1 || fail "the second generate failed"
grep -q 'アルバム 2 件' "$stage/generate2.out" || fail "the second run did not leave the family album out"
if grep -q "$family/index.htm" "$home/album/index.htm"; then fail "the menu page still links the family album"; fi
echo "the next run left the album out"

step "the installed tagora-dump and Kelpo's dialog, as $user"
asUser tagora-dump "$home/写真/夕焼けの海.jpg" > "$stage/dump.json" || fail "tagora-dump failed"
grep -q '"DateTimeOriginal"' "$stage/dump.json" || fail "tagora-dump shows no shooting date"
# Kelpo's own test binary from the build, creating the control through the
# installed registry, so the installed libkelpo.so shows its Qt dialog.
install -m 0755 "$build/bin/kelpo_tests" "$stage/"
asUser env QT_QPA_PLATFORM=offscreen MIROFOTO_REGISTRY="$private/registry.ini" "$stage/kelpo_tests" \
  --gtest_filter='KelpoTest.DialogShowsTheNameAndVersionAndClosesOnOk' > "$stage/kelpo.out" 2>&1 ||
  { cat "$stage/kelpo.out"; fail "Kelpo's dialog does not work installed"; }
grep -q '\[  PASSED  \] 1 test' "$stage/kelpo.out" || { cat "$stage/kelpo.out"; fail "the Kelpo test did not run"; }
echo "tagora-dump and Kelpo work"

step "nothing written into the installed folders"
after=$(installedState)
[ "$before" = "$after" ] || { diff <(echo "$before") <(echo "$after") || true; fail "the installed folders changed"; }
echo "unchanged: $(echo "$before" | wc -l) entries"

step "an unregistered module names the command that registers it, as $user"
# As if the post-install registration had never run.
mv "$private/registry.ini" "$stage/registry.ini.saved"
status=0
asUser tagora-dump "$home/写真/夕焼けの海.jpg" > /dev/null 2> "$stage/dump.err" || status=$?
asUser mirofoto generate --image-folder "$home/写真" --output "$home/album" --existing overwrite \
  > /dev/null 2> "$stage/generate3.err" || true
mv "$stage/registry.ini.saved" "$private/registry.ini"
cat "$stage/dump.err"
[ "$status" -eq 3 ] || fail "tagora-dump gave $status instead of 3"
command="$private/regsvr $private/libtagora.so"
grep -qF "register it as root with: $command" "$stage/dump.err" || fail "tagora-dump does not name the command"
grep -qF "管理者（root）で次のコマンドを実行して登録してください: $command" "$stage/generate3.err" ||
  { cat "$stage/generate3.err"; fail "generate does not name the command"; }

step "the tests that skip as root, as $user"
# Their names from the sources: the test whose body asks for a non-root user.
names=()
while IFS= read -r file; do
  current=""
  while IFS= read -r line; do
    if [[ $line =~ ^TEST(_F)?\(([A-Za-z0-9_]+),\ *([A-Za-z0-9_]+)\) ]]; then
      current="${BASH_REMATCH[2]}.${BASH_REMATCH[3]}"
    elif [[ $line == *"geteuid() == 0) GTEST_SKIP"* && -n $current ]]; then
      names+=("$current")
    fi
  done < "$file"
done < <(grep -rl 'geteuid() == 0) GTEST_SKIP' "$src/tests" --include='*.cpp')
[ ${#names[@]} -gt 0 ] || fail "found no test that skips as root"
# The binaries that hold them, copied with the modules beside them (the
# tests find libimgctl.so beside themselves) and a registry of the copies.
mkdir -p "$stage/bin"
for module in libimgctl.so libtagora.so libkelpo.so regsvr; do install -m 0755 "$build/bin/$module" "$stage/bin/"; done
for module in libtagora.so libkelpo.so; do
  MIROFOTO_REGISTRY="$stage/bin/registry.ini" "$stage/bin/regsvr" -s "$stage/bin/$module"
done
chmod 0644 "$stage/bin/registry.ini"
ran=0
for binary in "$build"/bin/*_tests; do
  # The window suites are Qt Test programs, which hold none of these.
  listed=$(QT_QPA_PLATFORM=offscreen "$binary" --gtest_list_tests 2>/dev/null) || continue
  listed=$(awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' <<< "$listed")
  filter=()
  for name in "${names[@]}"; do
    if grep -qx "$name" <<< "$listed"; then filter+=("$name"); fi
  done
  [ ${#filter[@]} -gt 0 ] || continue
  install -m 0755 "$binary" "$stage/bin/"
  out="$stage/$(basename "$binary").out"
  joined=$(IFS=:; echo "${filter[*]}")
  asUser env MIROFOTO_REGISTRY="$stage/bin/registry.ini" MIROFOTO_TEST_DATA="$src/tests/data" QT_QPA_PLATFORM=offscreen \
    "$stage/bin/$(basename "$binary")" --gtest_filter="$joined" > "$out" 2>&1 || { cat "$out"; fail "$(basename "$binary") failed"; }
  if grep -q '^\[  SKIPPED \]' "$out"; then cat "$out"; fail "a test still skipped"; fi
  grep -q "^\[  PASSED  \] ${#filter[@]} test" "$out" || { cat "$out"; fail "not every test ran"; }
  grep '^\[       OK \]' "$out"
  ran=$((ran + ${#filter[@]}))
done
[ "$ran" -eq ${#names[@]} ] || fail "ran $ran of ${#names[@]} tests (${names[*]})"

step "remove the package"
dpkg --purge mirofoto
left=0
while IFS= read -r p; do
  [ -e "$p" ] || [ -L "$p" ] || continue
  # A folder that others' files keep (/usr/share/man/man1) is not ours.
  if [ -d "$p" ] && [ ! -L "$p" ] && [ -n "$(ls -A "$p")" ] && [ "$p" != "$private" ]; then continue; fi
  echo "left behind: $p" >&2
  left=1
done < "$build/package/files.txt"
[ ! -e "$private" ] || { ls -la "$private" >&2; left=1; }
[ "$left" -eq 0 ] || fail "the package left files behind"
echo "nothing of the package is left ($(wc -l < "$build/package/files.txt") paths checked)"
# The user's own settings stay theirs.
[ -f "$stored" ] || fail "removing the package took the user's settings"

echo "package test: passed"
