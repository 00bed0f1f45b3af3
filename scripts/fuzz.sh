#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) into build-fuzz/ and runs
# each in turn, one after the other, seeded from its folder in tests/data/fuzz/.
#   scripts/fuzz.sh               each target for 10 minutes
#   scripts/fuzz.sh --smoke       each target for 30 seconds (CI)
#   scripts/fuzz.sh --minutes N   each target for N minutes
# New inputs go to build-fuzz/corpus/<target>/, crash inputs to
# build-fuzz/artifacts/; a crash fails the script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=600
case "${1:-}" in
  --smoke) seconds=30 ;;
  --minutes) seconds=$(( ${2:?--minutes needs a number} * 60 )) ;;
  "") ;;
  *) echo "usage: $0 [--smoke | --minutes N]" >&2; exit 2 ;;
esac

"$root/scripts/setup.sh"
dir="$root/build-fuzz"
# target:seed folder under tests/data/fuzz
runs=(fuzz_disassemble_8583:8583 fuzz_disassemble_ztr:ztr)
runs+=(fuzz_encodings_8583:encodings)
runs+=(fuzz_tlv:tlv)
runs+=(fuzz_receive:receive)
runs+=(fuzz_framing:framing)
runs+=(fuzz_config_reader:config)
runs+=(fuzz_operator_script:script)
targets=("${runs[@]%%:*}")
CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELK_FUZZ=ON -DVELK_TESTS=OFF -DVELK_BENCH=OFF
cmake --build "$dir" --target "${targets[@]}"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for run in "${runs[@]}"; do
  target=${run%%:*}
  seeds="$root/tests/data/fuzz/${run#*:}"
  corpus="$dir/corpus/$target"
  mkdir -p "$corpus" "$dir/artifacts"
  echo "fuzz: $target for ${seconds}s"
  "$dir/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target-" "$corpus" "$seeds"
done
