# Sourced by the benchmarks: the test photographs, made once into a folder
# and kept there (a ".complete" mark says they are all there).
#   bench_photos DIR ARGS...   ARGS as album_run_photos takes them after DIR
bench_photos() {
  local dir=$1
  shift
  [ -f "$dir/.complete" ] && return 0
  echo "making test photographs ($*) in $dir ..."
  rm -rf "$dir"
  build/bin/album_run_photos "$dir" "$@"
  touch "$dir/.complete"
}
