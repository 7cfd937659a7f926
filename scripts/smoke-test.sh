#!/usr/bin/env bash
# Starts the program under xvfb-run as a fresh installation (its own folder, a
# new database at the default place, an empty settings folder), waits until the
# bring-up has stored the database location, has another program save a row
# beside it, closes it with SIGTERM and checks the exit status, the settings
# written at close, and that the database file alone (copied without the log
# beside it) holds the row: the program closes its database as it ends, and
# the last one out folds the log into the file.
# Usage: smoke-test.sh <vantrel> <vantrel_makedb>. Exit 77: xvfb-run is missing.
set -uo pipefail
program=$1
makedb=$2
command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/registry"
cp "$program" "$work/bin/vantrel"
"$makedb" "$work/bin/DB/Vantrel.MDB" >/dev/null || { echo "database not made"; exit 1; }
# An option is not a file name: usage, status 2, no file.
(cd "$work" && "$makedb" --help >/dev/null 2>&1; [ $? -eq 2 ] && [ ! -e ./--help ]) ||
  { echo "vantrel_makedb took --help for a database file"; exit 1; }
settings="$work/registry/HKEY_CURRENT_USER.reg"

# The program writes its own id first, so the signal reaches it and not xvfb-run.
VANTREL_REGISTRY_DIR="$work/registry" xvfb-run -a \
  sh -c 'echo $$ > "$1"; exec "$2"' sh "$work/pid" "$work/bin/vantrel" >"$work/log" 2>&1 &
runner=$!

# Start-up includes the splash window's two seconds; a loaded machine needs longer.
for _ in $(seq 1 120); do
  grep -q '"DatabaseLocation"=' "$settings" 2>/dev/null && break
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.5
done
if ! grep -q "\"DatabaseLocation\"=\"$work/bin/DB/Vantrel.MDB\"" "$settings" 2>/dev/null; then
  echo "the database location was never stored"; cat "$work/log"; kill "$runner" 2>/dev/null; exit 1
fi

db="$work/bin/DB/Vantrel.MDB"
saver=$(command -v sqlite3 || true)
if [ -n "$saver" ]; then
  # Into a table of its own: the tracker's text columns compare in the
  # program's own case-blind order, which sqlite3 lacks.
  "$saver" -cmd ".timeout 5000" "$db" "CREATE TABLE Smoke (Kept INTEGER); INSERT INTO Smoke VALUES (1)" ||
    { echo "another program could not save beside it"; kill "$runner" 2>/dev/null; exit 1; }
fi

kill -TERM "$(cat "$work/pid")"
wait "$runner"
status=$?
if [ "$status" -ne 0 ]; then echo "exit status $status"; cat "$work/log"; exit 1; fi
if [ -n "$saver" ]; then
  mkdir "$work/alone" && cp "$db" "$work/alone/Vantrel.MDB"
  kept=$("$saver" "$work/alone/Vantrel.MDB" "SELECT count(*) FROM Smoke")
  [ "$kept" = 1 ] || { echo "the database file alone lacks the saves (log beside it: $(ls -l "$db-wal" 2>&1))"; exit 1; }
else
  echo "no sqlite3 program here: the file alone was not checked"
fi
for value in LastOpenProgram WindowMaximized '"Tree Width"'; do
  grep -q "$value" "$settings" || { echo "$value not written at close"; cat "$settings"; exit 1; }
done
echo "started, stored its database location, closed on SIGTERM and saved its settings"
