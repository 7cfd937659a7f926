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
bash ../scripts/run-suite.sh "$jobs"
