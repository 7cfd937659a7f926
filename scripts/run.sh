#!/usr/bin/env bash
# Installs what is missing, builds the program, makes its database when it is
# missing (build/bin/DB/Vantrel.MDB) and starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: no display found (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
  echo "Start it from a desktop session, or under xvfb-run." >&2
  exit 1
fi
bash scripts/install-deps.sh
# Every core by default; VANTREL_JOBS=n builds and tests with n jobs.
jobs="${VANTREL_JOBS:-$(nproc)}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$jobs" --target vantrel vantrel_database
exec build/bin/vantrel "$@"
