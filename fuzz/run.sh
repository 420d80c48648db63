#!/usr/bin/env bash
# Builds the libFuzzer harnesses (in the sanitize preset's build) and runs them a batch at a time
# (a harness is one process on one core), each starting from its seed corpus in
# fuzz/corpus/<harness>/. The arguments go to every harness; without any, each runs for a minute
# of a core (the batch's wall time is stretched by as many harnesses as share a core, see below).
# New inputs go to build/sanitize/fuzz/corpus-work/<harness>/ and findings (crashing inputs) to
# build/sanitize/fuzz/findings/<harness>/: copy a finding into fuzz/corpus/<harness>/ once it is
# mended, so that the corpus replay keeps it fixed. Exits non-zero on the first batch with a
# finding, on an input that runs longer than the time-out (a hang is a finding too), and on a
# harness whose program has fewer coverage counters than the library alone brings: then the
# library was built without coverage, and libFuzzer would search blind.
set -euo pipefail
cd "$(dirname "$0")/.."

# Seconds of a core each harness gets when no arguments say otherwise.
cpu_seconds=60
# Seconds of a core one input may take: the slowest seed takes well under one alone, 2 s under
# AddressSanitizer on a busy machine.
cpu_timeout=5
# The coverage counters (one an edge) of an instrumented library; a harness alone has a few
# thousand.
min_counters=20000

# The sanitize preset's build is the fuzz build too: its libraries are instrumented for coverage
# and the sanitizers alike, so the suite and the harnesses run the same compiled library (after
# `cmake --workflow --preset sanitize` only the harnesses are left to build, if anything).
cmake --preset sanitize >/dev/null
harnesses=(obj build mtl csv city hiproof geojson png stepped)
cmake --build --preset sanitize --target "${harnesses[@]/%/_fuzz}"
out=build/sanitize/fuzz

# Starts one harness, its output into its log.
start() {
  local harness=$1
  local work="$out/corpus-work/$harness"
  local findings="$out/findings/$harness"
  mkdir -p "$work" "$findings"
  # A build reads a whole kit: longer inputs only slow it down without reaching new code.
  local limits=()
  [ "$harness" = build ] && limits=(-max_len=4096)
  # The build harness reads OBJ unit files, so both OBJ harnesses share one dictionary.
  local dict="fuzz/$harness.dict"
  [ "$harness" = build ] && dict=fuzz/obj.dict
  # The hip roof harness reads bits, for which no words help.
  local dictionary=()
  [ -f "$dict" ] && dictionary=(-dict="$dict")
  "$out/${harness}_fuzz" "$work" "fuzz/corpus/$harness" "${dictionary[@]}" -timeout="$timeout" \
    -artifact_prefix="$findings/" -print_final_stats=1 "${limits[@]}" "${args[@]}" >"$out/$harness.log" 2>&1
}

# Shows a finished harness's log and fails on its finding (status) or its missing coverage.
finish() {
  local harness=$1 status=$2
  local log="$out/$harness.log"
  echo "== fuzzing $harness: ${args[*]}"
  cat "$log"
  if [ "$status" -ne 0 ]; then
    echo "error: the $harness harness failed (status $status): see $out/findings/$harness/" >&2
    exit 1
  fi
  # libFuzzer says "INFO: Loaded 1 modules   (33133 inline 8-bit counters): ..." at its start.
  local counters
  counters="$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -n 1)"
  if [ "${counters:-0}" -lt "$min_counters" ]; then
    echo "error: the $harness harness has ${counters:-no} coverage counters, fewer than $min_counters:" \
      "its libraries are not built for coverage" >&2
    exit 1
  fi
}

# The harnesses run in batches of equal size, each batch shown in turn once it is done. A batch of
# as many harnesses as cores leaves cores idle in the last batch when the count does not divide
# (nine on two cores: five rounds, the last on one core), so the batch is the size from one to two
# cores' worth that spends the fewest wall seconds on the same seconds of a core each (nine on two
# cores: three batches of three). Harnesses that share a core run longer, and their time-out grows
# alike, so that each still gets its seconds of a core.
cores="$(nproc 2>/dev/null || echo 1)"
count=${#harnesses[@]}
batch_size=$cores
best=$(( (count + cores - 1) / cores * cores * cores ))
for ((size = cores + 1; size <= 2 * cores; ++size)); do
  # Wall seconds per second of a core, times cores^2 to stay in whole numbers.
  cost=$(( (count + size - 1) / size * size * cores ))
  [ "$cost" -lt "$best" ] && { best=$cost; batch_size=$size; }
done
stretch() { echo $(( ($1 * batch_size + cores - 1) / cores )); }
timeout=$(stretch "$cpu_timeout")
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(-max_total_time="$(stretch "$cpu_seconds")")

for ((first = 0; first < count; first += batch_size)); do
  batch=("${harnesses[@]:first:batch_size}")
  pids=()
  for harness in "${batch[@]}"; do
    start "$harness" &
    pids+=($!)
  done
  # The whole batch ends before any is judged, so that a finding leaves no harness running.
  statuses=()
  for pid in "${pids[@]}"; do
    status=0
    wait "$pid" || status=$?
    statuses+=("$status")
  done
  for i in "${!batch[@]}"; do finish "${batch[$i]}" "${statuses[$i]}"; done
done
