#!/usr/bin/env bash
# Builds the libFuzzer harnesses (preset "fuzz") and runs each in turn, starting from its seed
# corpus in fuzz/corpus/<harness>/. The arguments go to every harness; without any, each runs
# for 60 seconds. New inputs go to build/fuzz/corpus-work/<harness>/ and findings (crashing
# inputs) to build/fuzz/findings/<harness>/: copy a finding into fuzz/corpus/<harness>/ once it
# is mended, so that the corpus replay keeps it fixed. Exits non-zero on the first finding, on an
# input that runs longer than the time-out (a hang is a finding too), and on a harness whose
# program has fewer coverage counters than the library alone brings: then the library was built
# without coverage, and libFuzzer would search blind.
set -euo pipefail
cd "$(dirname "$0")/.."

args=("$@")
[ ${#args[@]} -gt 0 ] || args=(-max_total_time=60)
# Seconds one input may take: the slowest seed takes well under one.
timeout=5
# The coverage counters (one an edge) of an instrumented library; a harness alone has a few
# thousand.
min_counters=20000

cmake --preset fuzz >/dev/null
harnesses=(obj build mtl csv city hiproof geojson)
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
  log="build/fuzz/$harness.log"
  "build/fuzz/fuzz/${harness}_fuzz" "$work" "fuzz/corpus/$harness" "${dictionary[@]}" -timeout="$timeout" \
    -artifact_prefix="$findings/" -print_final_stats=1 "${limits[@]}" "${args[@]}" 2>&1 | tee "$log"
  # libFuzzer says "INFO: Loaded 1 modules   (33133 inline 8-bit counters): ..." at its start.
  counters="$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -n 1)"
  if [ "${counters:-0}" -lt "$min_counters" ]; then
    echo "error: the $harness harness has ${counters:-no} coverage counters, fewer than $min_counters:" \
      "its libraries are not built for coverage" >&2
    exit 1
  fi
done
