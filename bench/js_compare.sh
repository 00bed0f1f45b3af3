#!/usr/bin/env bash
# Times the C++ codec against the JavaScript ISO 8583 packagers "jspos" and
# "iso_8583" on the same 0200 message with the same layout, in one run, and
# prints per operation the time of each and the ratio to the fastest
# JavaScript packager. The target is a ratio of at least 50 for packing and
# for unpacking; the script exits 1 when either falls short.
#   bench/js_compare.sh [BUILD_DIR]     (default build/, Release)
# The packages are installed into bench/node_modules (not kept in git). A
# packager that does not install or does not produce the message's bytes is
# reported and left out.
set -euo pipefail
bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build="$root/${1:-build}"

# Both in one install: npm removes what a later install without the other
# would not name. Either alone when both together fail.
install() {
  npm install --prefix "$bench" --no-save --no-package-lock --no-audit --no-fund "$@" >/dev/null 2>&1
}
if [[ ! -d "$bench/node_modules/jspos" || ! -d "$bench/node_modules/iso_8583" ]]; then
  install jspos iso_8583 || install jspos || install iso_8583 ||
    echo "js_compare: npm could not install jspos nor iso_8583" >&2
fi

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target velk-bench-codec >/dev/null

ours=$(mktemp)
theirs=$(mktemp)
trap 'rm -f "$ours" "$theirs"' EXIT
"$build/velk-bench-codec" --benchmark_filter='8583_0200' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=json >"$ours"
NODE_PATH="$bench/node_modules" node "$bench/js_codec_compare.js" >"$theirs"

node - "$ours" "$theirs" <<'JS'
const fs = require('fs');
const [oursPath, theirsPath] = process.argv.slice(2);
const ours = {};
for (const b of JSON.parse(fs.readFileSync(oursPath, 'utf8')).benchmarks) {
  if (b.aggregate_name !== 'median') continue;
  const op = b.run_name.startsWith('BM_Assemble') ? 'pack' : 'unpack';
  ours[op] = b.cpu_time;  // ns: the benchmark's default unit
}
const js = { pack: {}, unpack: {} };
for (const line of fs.readFileSync(theirsPath, 'utf8').split('\n')) {
  const [kind, name, op, ns] = line.split(' ');
  if (kind === 'RESULT') js[op][name] = Number(ns);
  if (kind === 'FAILED') console.log(`${name}: left out (${line.split(' ').slice(2).join(' ')})`);
}
let ok = true;
for (const op of ['pack', 'unpack']) {
  const names = Object.keys(js[op]);
  if (names.length === 0 || ours[op] === undefined) {
    console.log(`${op}: nothing to compare`);
    ok = false;
    continue;
  }
  const fastest = names.reduce((a, b) => (js[op][a] <= js[op][b] ? a : b));
  const ratio = js[op][fastest] / ours[op];
  const each = names.map((n) => `${n} ${js[op][n].toFixed(0)} ns`).join(', ');
  console.log(`${op}: velk ${ours[op].toFixed(1)} ns; ${each}; fastest ${fastest}: ` +
              `${ratio.toFixed(0)}x ${ratio >= 50 ? '(target 50x met)' : '(BELOW the 50x target)'}`);
  ok = ok && ratio >= 50;
}
process.exit(ok ? 0 : 1);
JS
