#!/usr/bin/env bash
# Runs the service load benchmark: generates the dataset once, starts the
# service on it and drives each scenario with wrk. See README.md.
#   bench/server/run.sh [build-dir] [work-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
work=${2:-/tmp/zorvanix-bench}
duration=${ZX_DURATION:-10s}
connections=${ZX_CONNECTIONS:-32}
threads=${ZX_THREADS:-2}
server=$build/server/zorvanix-server
generator=$build/bench/server/zorvanix_bench_dataset
mkdir -p "$work"

if [ ! -f "$work/bench.db" ]; then
  echo "== generating the dataset in $work"
  "$generator" --database "sqlite:$work/bench.db" --out "$work"
fi
# Uploads add scores; benchmark on a copy so every run starts the same.
cp "$work/bench.db" "$work/run.db"
rm -f "$work/run.db-wal" "$work/run.db-shm"

"$server" --listen 127.0.0.1:0 --database "sqlite:$work/run.db" --mail-spool "$work/mail" \
  >"$work/server.out" 2>"$work/access.log" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q "listening on" "$work/server.out" 2>/dev/null && break
  sleep 0.1
done
root=$(sed -n 's/^listening on //p' "$work/server.out")
echo "== service at $root (pid $pid)"

export ZX_SCRIPTS=$here ZX_DATA=$work
# CPU seconds the service has used so far (user + system).
cpu() { awk -v hz="$(getconf CLK_TCK)" '{printf "%.2f", ($14 + $15) / hz}' "/proc/$pid/stat"; }
run() {
  local name=$1 script=$2 before after out
  echo "== $name: $connections connections, $threads wrk threads, $duration"
  before=$(cpu)
  out=$(wrk -t"$threads" -c"$connections" -d"$duration" -s "$here/$script" "$root")
  after=$(cpu)
  echo "$out" | grep -E "requests in|Requests/sec|unexpected|p50"
  # On a shared machine the service may not get a whole core; requests per
  # CPU-second of the service says what one free core would carry.
  echo "$out" | awk -v before="$before" -v after="$after" '
    /requests in/ { n = $1 }
    END { used = after - before; if (used > 0) printf "service CPU %.2f s, %.0f requests per CPU-second\n", used, n / used }'
}
rss() { grep -E "VmRSS|VmHWM" "/proc/$pid/status" | tr -s ' ' | tr '\n' ' '; echo; }

rss
run "servertime" servertime.lua
run "record, one teacher" record.lua
ZX_ALL=1 run "record, every teacher in turn" record.lua
run "upload of 20 lines" upload.lua
rss
echo "== scores after the run: $(sqlite3 "$work/run.db" 'SELECT COUNT(*) FROM scores')"
