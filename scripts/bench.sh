#!/usr/bin/env bash
# Builds Release and runs every benchmark, then prints one summary line per figure:
#   NAME VALUE UNIT [RATIOx BASELINE]
# Raw results are kept in build/bench/results/*.json.
source "$(dirname "$0")/common.sh"
mv_install_packages
cd "$ROOT"
cmake --preset default >&2
cmake --build --preset default -j "$(nproc)" >&2
out="$ROOT/build/bench/results"
rm -rf "$out" && mkdir -p "$out"
for exe in "$ROOT"/build/bench/bench_*; do
  [ -x "$exe" ] || continue
  name="$(basename "$exe")"
  echo "running $name" >&2
  (cd "$ROOT/build/bin" && "$exe" --benchmark_format=json --benchmark_out_format=json \
      --benchmark_out="$out/$name.json" >/dev/null) || echo "$name failed" >&2
done
python3 "$ROOT/scripts/bench_summary.py" "$out"
