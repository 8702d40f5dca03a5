#!/bin/bash
# Runs one libFuzzer target for a bounded time over its seed corpus plus a working corpus of its own.
# usage: run_fuzzer.sh FUZZER SEED_DIR WORK_DIR SECONDS
set -eu
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work"
# New inputs go to the working corpus (first directory); the seeds in the tree stay untouched.
exec "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work" "$seeds"
