#!/usr/bin/env bash
# Speed benchmark: builds the benchmark images and d88extract (Release), then
# times, alternating, in fresh directories:
#   floor      cat realistic.d88 >/dev/null, then cp -r of its extracted tree
#   realistic  d88extract realistic.d88            (numbered directories)
#   crafted-N  d88extract crafted-N.d88 -d          (N filler records a track)
# and prints the medians and two ratios: realistic against the floor, and each
# crafted image's time per byte written against the realistic one's.
#
#   bench/run.sh [--runs N] [--baseline OTHER_D88EXTRACT] [--timeout SECONDS]
#
# --baseline times another build of d88extract on the same images in the same
# rounds (an older commit, say); a run that passes --timeout is cut off and
# shown as a lower bound.
set -euo pipefail
runs=5
baseline=""
timeout_seconds=120
while (($#)); do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --baseline) baseline=$(realpath "$2"); shift 2 ;;
    --timeout) timeout_seconds=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--baseline BINARY] [--timeout SECONDS]" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build-bench"
cmake -S "$root" -B "$work" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work" -j2 --target d88extract make_bench_images >/dev/null
images="$work/images"
mkdir -p "$images"
"$work/tests/make_bench_images" "$images"
tool="$work/d88extract"
scratch="$work/scratch"
rm -rf "$scratch" && mkdir -p "$scratch"

# The tree the floor copies: what the extractor writes for the realistic image.
(mkdir -p "$scratch/reference" && cd "$scratch/reference" &&
  "$tool" "$images/realistic.d88" >"$scratch/realistic.report")

# Bytes a run writes, from the SIZE column of its report (files that -d
# overwrites count every time they are written).
bytes_written() {
  awk 'function hex(s,  i, v) {
         v = 0
         for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
         return v
       }
       / SIZE:/ { size = $NF; sub(/^SIZE:/, "", size)
                  # a size of 2^31 or more is negative: nothing was written
                  if (length(size) < 8 || substr(size, 1, 1) < "8") total += hex(size) }
       END { printf "%d\n", total }' "$1"
}

declare -A samples
# time_it NAME COMMAND...: runs in a fresh directory, appends the seconds.
time_it() {
  local name=$1
  shift
  rm -rf "$scratch/out" && mkdir "$scratch/out"
  local start=$EPOCHREALTIME status=0
  (cd "$scratch/out" && "$@" >"$scratch/$name.report") || status=$?
  local end=$EPOCHREALTIME
  local seconds
  seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
  if ((status == 124)); then seconds=">$seconds"; fi
  samples[$name]+="$seconds "
}

floor() {
  cat "$images/realistic.d88" >/dev/null
  cp -r "$scratch/reference" "$scratch/out/copy"
}

extract() { timeout "$timeout_seconds" "$@"; }

variants=(floor realistic crafted-4096 crafted-65534)
[[ -n "$baseline" ]] && variants+=(baseline-realistic baseline-crafted-4096 baseline-crafted-65534)
for ((round = 0; round < runs; round++)); do
  for variant in "${variants[@]}"; do
    case "$variant" in
      floor) time_it floor floor ;;
      realistic) time_it realistic extract "$tool" "$images/realistic.d88" ;;
      crafted-*) time_it "$variant" extract "$tool" "$images/$variant.d88" -d ;;
      baseline-realistic) time_it "$variant" extract "$baseline" "$images/realistic.d88" ;;
      baseline-crafted-*) time_it "$variant" extract "$baseline" "$images/${variant#baseline-}.d88" -d ;;
    esac
  done
done

median() {
  tr ' ' '\n' <<<"$1" | grep -v '^$' | sort -g -t'>' -k2 |
    awk '{ v[NR] = $0 } END { print v[int((NR + 1) / 2)] }'
}
number() { echo "${1#>}"; }

realistic_bytes=$(bytes_written "$scratch/realistic.report")
floor_median=$(median "${samples[floor]}")
printf '%-26s %10s %12s %10s\n' run median-s bytes-written ratio
printf '%-26s %10s %12s %10s\n' floor "$floor_median" "$realistic_bytes" ""
for prefix in "" baseline-; do
  [[ -z "$prefix" || -n "$baseline" ]] || continue
  realistic_median=$(median "${samples[${prefix}realistic]}")
  realistic_per_byte=$(awk -v t="$(number "$realistic_median")" -v b="$realistic_bytes" 'BEGIN { print t / b }')
  printf '%-26s %10s %12s %10s\n' "${prefix}realistic" "$realistic_median" "$realistic_bytes" \
    "$(awk -v t="$(number "$realistic_median")" -v f="$floor_median" 'BEGIN { printf "%.2f", t / f }')"
  for fillers in 4096 65534; do
    name="${prefix}crafted-$fillers"
    crafted_median=$(median "${samples[$name]}")
    bytes=$(bytes_written "$scratch/crafted-$fillers.report")
    ratio=$(awk -v t="$(number "$crafted_median")" -v b="$bytes" -v r="$realistic_per_byte" \
      'BEGIN { printf "%.2f", t / b / r }')
    [[ "$crafted_median" == ">"* ]] && ratio=">$ratio"
    printf '%-26s %10s %12s %10s\n' "$name" "$crafted_median" "$bytes" "$ratio"
  done
done
echo "ratio: realistic against the floor; crafted time per byte written against realistic"
echo "samples (s): $(for v in "${variants[@]}"; do printf '%s=[%s] ' "$v" "${samples[$v]% }"; done)"
