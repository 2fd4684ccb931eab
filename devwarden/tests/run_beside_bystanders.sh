#!/bin/sh
# Runs a test program beside processes of the same user named like the adb
# copies the model query's sweep ends by default ("adb", "tadb",
# "mavo_adb"), which the program did not start, and fails unless every one
# of them still runs when the program has ended: a test ends only the
# processes it started itself.
#   run_beside_bystanders.sh <program> [arguments...]
set -u
program="$1"
shift
dir=$(mktemp -d /tmp/devwarden-bystanders-XXXXXX) || exit 1
pids=""
for name in adb tadb mavo_adb; do
  cp /bin/sleep "$dir/$name" || exit 1
  "$dir/$name" 900 &
  pids="$pids $!"
done

# "ended" once a process is gone or a zombie; its image otherwise.
image() {
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)
  case "$state" in
    "" | Z | X) echo ended ;;
    *) readlink "/proc/$1/exe" ;;
  esac
}

# Each bystander runs as its copy before the program starts.
for pid in $pids; do
  tries=0
  while [ "$(dirname "$(image "$pid")")" != "$dir" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 500 ]; then
      echo "bystander $pid did not start" >&2
      kill $pids 2>/dev/null
      rm -rf "$dir"
      exit 1
    fi
    sleep 0.01
  done
done

"$program" "$@"
status=$?
for pid in $pids; do
  if [ "$(dirname "$(image "$pid")")" != "$dir" ]; then
    echo "FAILED: the bystander $pid, an adb process this run did not start, was ended" >&2
    status=1
  fi
done
kill $pids 2>/dev/null
wait
rm -rf "$dir"
exit $status
