#!/usr/bin/env bash
# Measures how long the project takes to build, from nothing, on this machine:
#   default  a clean build of the default preset at one job (configure and build, every target);
#   tool     the README's first command, `cmake --workflow --preset tool` (two jobs, its preset's);
#   ci       `.ci/run` on a fresh clone (every preset, the suites, the install and the fuzzing).
# Each figure is taken in a scratch copy of the tree at REV (default HEAD: what is committed, not
# the work tree), so nothing is reused from an earlier build, and without a compiler launcher
# (no ccache). It prints the wall seconds and the CPU seconds (user + system, of every process
# the step started). On a machine that other work shares, the CPU seconds are the steadier
# figure: a one-job build's wall time on a quiet machine is about its CPU seconds; a two-job
# build's is about half of them, less what cannot run side by side.
#
#   bench/build_times.sh [REV] [figures...]
# Figures default to "default tool"; "ci" takes about twenty minutes and is chosen by name.
# Set BUILD_TIMES_BASELINE to another revision to measure it in the same run, figure by figure,
# so that both sets of figures come from the same minutes of the machine.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

rev=${1:-HEAD}
shift || true
figures=("$@")
[ ${#figures[@]} -gt 0 ] || figures=(default tool)
revisions=("$rev")
[ -n "${BUILD_TIMES_BASELINE:-}" ] && revisions=("$BUILD_TIMES_BASELINE" "$rev")

# Nothing from the caller's environment may reach the builds: a launcher would measure a cache,
# and flags would measure another build.
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER CXXFLAGS CFLAGS LDFLAGS CMAKE_BUILD_PARALLEL_LEVEL

scratch=$(mktemp -d /tmp/towerkit-build-times-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# A fresh copy of the tree at a revision, in its own folder.
copy_tree() {
  local revision=$1 dir=$2
  rm -rf "$dir"
  mkdir -p "$dir"
  git -C "$repo" archive "$revision" | tar -x -C "$dir"
}

# Runs a command in a folder and prints "<label> <rev>: wall W s, cpu C s (user U, sys S)".
measure() {
  local label=$1 revision=$2 dir=$3
  shift 3
  local log="$scratch/$label.log" times="$scratch/$label.times"
  # bash's `time` counts the CPU time of every child the command waited for, and theirs.
  if ! (cd "$dir" && TIMEFORMAT='%R %U %S' && { time "$@" >"$log" 2>&1; } 2>"$times"); then
    tail -n 30 "$log" >&2
    echo "error: the $label step failed at $revision (its log is above)" >&2
    exit 1
  fi
  read -r wall user sys <"$times"
  printf '%-8s %-12s wall %7.1f s   cpu %7.1f s (user %.1f, sys %.1f)\n' "$label" "$revision" \
    "$wall" "$(awk "BEGIN { print $user + $sys }")" "$user" "$sys"
}

default_build() { cmake --preset default && cmake --build build/default -j 1; }
tool_build() { cmake --workflow --preset tool; }
ci_run() { CI=true bash .ci/run; }

for figure in "${figures[@]}"; do
  for revision in "${revisions[@]}"; do
    dir="$scratch/tree"
    case "$figure" in
      default) copy_tree "$revision" "$dir"; measure default "$revision" "$dir" default_build ;;
      tool) copy_tree "$revision" "$dir"; measure tool "$revision" "$dir" tool_build ;;
      # .ci/run installs its packages and tests the repository as a clone, so it gets one.
      ci)
        rm -rf "$dir"
        git clone -q "$repo" "$dir"
        git -C "$dir" checkout -q "$(git -C "$repo" rev-parse "$revision")"
        measure ci "$revision" "$dir" ci_run
        ;;
      *) echo "error: no figure \"$figure\" (default, tool or ci)" >&2; exit 2 ;;
    esac
    rm -rf "$dir"
  done
done
