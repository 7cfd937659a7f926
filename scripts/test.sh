#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Every core by default; VANTREL_JOBS=n builds and tests with n jobs.
jobs="${VANTREL_JOBS:-$(nproc)}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$jobs"
cd build
# The random mix of faults on a shared file runs alone: it stands for its own
# writers' load, and the rest of the suite beside it would only stretch its
# timing windows.
ctest --output-on-failure --parallel "$jobs" --exclude-regex SharedFileMix
ctest --output-on-failure --tests-regex SharedFileMix
