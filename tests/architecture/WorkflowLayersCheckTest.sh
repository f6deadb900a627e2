#!/usr/bin/env bash
# WorkflowLayersCheckTest.sh CHECK: runs the workflow's layer check over small made-up
# trees, one include each, and fails when the check passes an upward include or refuses
# a downward one.
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# file in src/workflow | what it includes (under workflow/) | expected exit status
cases=(
  "folders/A.cpp|processing/KOVA_JobProcessor.h|1"
  "jobs/A.cpp|folders/KOVA_JobFolders.h|1"
  "jobs/A.cpp|packages/KOVA_Package.h|1"
  "packages/A.h|outputs/KOVA_Output.h|1"
  "outputs/A.cpp|delivery/KOVA_OutputFileDelivery.h|1"
  "KOVA.cpp|jobs/KOVA_Job.h|1"
  "elsewhere/A.cpp|KOVA.h|1"
  "folders/A.cpp|jobs/KOVA_Job.h|0"
  "folders/A.cpp|KOVA.h|0"
  "outputs/A.cpp|packages/KOVA_Package.h|0"
  "processing/A.cpp|delivery/KOVA_PrintPicturesCleaner.h|0"
  "delivery/A.cpp|delivery/B.h|0"
)
failures=0
for entry in "${cases[@]}"; do
  IFS='|' read -r file included expected <<< "$entry"
  tree=$work/$RANDOM$RANDOM
  mkdir -p "$(dirname "$tree/src/workflow/$file")"
  printf '#include "workflow/%s"\n' "$included" > "$tree/src/workflow/$file"
  bash "$check" "$tree" > "$tree.out" 2>&1
  status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "$file including $included: exit status $status, expected $expected"
    cat "$tree.out"
    failures=$((failures + 1))
  fi
done
[ $failures -eq 0 ] && echo "the check told every case right (${#cases[@]})"
exit $((failures > 0))
