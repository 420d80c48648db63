#!/usr/bin/env bash
# Builds the libFuzzer harnesses (preset "fuzz") and runs each in turn, starting from its seed
# corpus in fuzz/corpus/<harness>/. The arguments go to every harness; without any, each runs
# for 60 seconds. New inputs go to build/fuzz/corpus-work/<harness>/ and findings (crashing
# inputs) to build/fuzz/findings/<harness>/: copy a finding into fuzz/corpus/<harness>/ once it
# is mended, so that the corpus replay keeps it fixed. Exits non-zero on the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."

args=("$@")
[ ${#args[@]} -gt 0 ] || args=(-max_total_time=60)

cmake --preset fuzz >/dev/null
harnesses=(obj build mtl csv city hiproof)
cmake --build --preset fuzz --target "${harnesses[@]/%/_fuzz}"

for harness in "${harnesses[@]}"; do
  work="build/fuzz/corpus-work/$harness"
  findings="build/fuzz/findings/$harness"
  mkdir -p "$work" "$findings"
  # A build reads a whole kit: longer inputs only slow it down without reaching new code.
  limits=()
  [ "$harness" = build ] && limits=(-max_len=4096)
  # The build harness reads OBJ unit files, so both OBJ harnesses share one dictionary.
  dict="fuzz/$harness.dict"
  [ "$harness" = build ] && dict=fuzz/obj.dict
  # The hip roof harness reads bits, for which no words help.
  dictionary=()
  [ -f "$dict" ] && dictionary=(-dict="$dict")
  echo "== fuzzing $harness: ${args[*]}"
  "build/fuzz/fuzz/${harness}_fuzz" "$work" "fuzz/corpus/$harness" "${dictionary[@]}" \
    -artifact_prefix="$findings/" -print_final_stats=1 "${limits[@]}" "${args[@]}"
done
