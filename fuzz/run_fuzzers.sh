#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, two at a time by default.
#
#   fuzz/run_fuzzers.sh BUILD_DIR [SECONDS] [JOBS] [TARGET...]
#
# Each target starts from a scratch copy of its seed corpus (fuzz/corpus/
# <target>/), so the committed corpus never grows by accident; what the
# fuzzer found is left in the scratch directory, printed at the end.  A
# crash, a failed property, a leak or a hang (10 s for one input) fails the
# run; the input that did it is kept there as crash-*, leak-* or timeout-*.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: run_fuzzers.sh BUILD_DIR [SECONDS] [JOBS] [TARGET...]}" && pwd)"
seconds="${2:-30}"
jobs="${3:-2}"
shift $(( $# < 3 ? $# : 3 ))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(field_reader_fuzz row_translation_fuzz run_fuzz vt_input_decoder_fuzz
           screen_fuzz line_reader_fuzz)
fi

scratch="$(mktemp -d "${TMPDIR:-/tmp}/patconv-fuzz-run-XXXXXX")"
# Longer inputs where the unit works on long runs (4096-byte fields, 8192-byte
# buffers, long prints); the default elsewhere.
max_len() {
  case "$1" in
    field_reader_fuzz|run_fuzz) echo 20000 ;;
    screen_fuzz|line_reader_fuzz) echo 2048 ;;
    *) echo 4096 ;;
  esac
}

run_one() {
  local target="$1" binary="$build/fuzz/$1" work="$scratch/$1"
  mkdir -p "$work/corpus"
  cp "$here/corpus/$target/"* "$work/corpus/" 2>/dev/null
  ASAN_OPTIONS="halt_on_error=1:detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}" \
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len="$(max_len "$target")" -print_final_stats=1 \
      -artifact_prefix="$work/" "$work/corpus" > "$work/log" 2>&1
  local status=$?
  local execs cov units
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)"
  cov="$(grep -o 'cov: [0-9]*' "$work/log" | tail -1)"
  units="$(ls "$work/corpus" | wc -l)"
  if [ $status -eq 0 ]; then
    printf '%-24s ok      %10s execs in %ss  %-10s corpus %s\n' "$target" "${execs:-?}" \
      "$seconds" "${cov:-cov: ?}" "$units"
  else
    printf '%-24s FAILED  (status %s)\n' "$target" "$status"
    grep -E 'property failed|ERROR: |SUMMARY: |runtime error|Test unit written' "$work/log" \
      | head -20 | sed 's/^/    /'
    echo "    log: $work/log"
    return 1
  fi
}

export -f run_one max_len
export build here scratch seconds
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$@"' _ {} \
  | tee "$scratch/summary"
failed="$(grep -c ' FAILED ' "$scratch/summary")"
echo "fuzz scratch directory (grown corpora, logs): $scratch"
echo "fuzz: $(( ${#targets[@]} - failed )) passed, $failed failed"
exit $(( failed == 0 ? 0 : 1 ))
