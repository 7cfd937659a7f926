#!/usr/bin/env bash
# Runs every test of the build folder it is started in, with $1 jobs. The
# random mix of faults on a shared file runs alone after the rest: it stands
# for its own writers' load, and the rest of the suite beside it would only
# stretch its timing windows.
set -euo pipefail
ctest --output-on-failure --parallel "$1" --exclude-regex SharedFileMix
ctest --output-on-failure --tests-regex SharedFileMix
