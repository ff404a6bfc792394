#!/usr/bin/env bash
# Times the program's UTF-8 re-decoding of 16 MiB of Chinese text against
# `iconv -f UTF-8 -t GBK` on the same file, in the same run, and prints the ratio (target: 1.5 at
# most). Best of several runs each, whole commands (start, read, convert, write) on both sides.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null && cmake --build --preset bench -j "$(nproc)" >/dev/null
tool=build/bench/bench/crawlerview_convert
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
page=tests/fixtures/page-utf8.html
while [ "$(stat -c %s "$work/in.txt" 2>/dev/null || echo 0)" -lt $((16 << 20)) ]; do cat "$page" >>"$work/in.txt"; done
head -c $((16 << 20)) "$work/in.txt" >"$work/page.txt"
# Cut back to a line end so that neither converter sees a truncated character.
python3 -c "import sys; d=open(sys.argv[1],'rb').read(); open(sys.argv[1],'wb').write(d[:d.rfind(b'\n')+1])" "$work/page.txt"

"$tool" "$work/page.txt" >"$work/ours.gbk"
iconv -f UTF-8 -t GBK "$work/page.txt" >"$work/iconv.gbk"
cmp -s "$work/ours.gbk" "$work/iconv.gbk" && echo "outputs identical ($(stat -c %s "$work/ours.gbk") bytes)" \
    || echo "outputs differ"

best() {  # command...: best wall time in seconds over 9 runs
    python3 - "$@" <<'PY'
import subprocess, sys, time
best = 1e9
for _ in range(9):
    start = time.perf_counter()
    subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
    best = min(best, time.perf_counter() - start)
print(f"{best:.4f}")
PY
}
ours=$(best "$tool" "$work/page.txt")
theirs=$(best iconv -f UTF-8 -t GBK "$work/page.txt")
echo "input: $(stat -c %s "$work/page.txt") bytes of UTF-8 Chinese text"
echo "crawlerview utf8ToLocal: ${ours}s   iconv: ${theirs}s"
python3 -c "print(f'ratio: {$ours / max($theirs, 0.001):.2f} (target <= 1.5)')"
