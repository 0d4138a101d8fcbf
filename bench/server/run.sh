#!/usr/bin/env bash
# Runs the service load benchmark: generates each dataset once, starts the
# service on a copy and drives each scenario with wrk. See README.md.
#   bench/server/run.sh [build-dir] [work-dir]
# ZX_SCALES ("1 50"): dataset sizes (--scale of the generator); ZX_PG=1 also
# runs the uploads on a throwaway PostgreSQL cluster (fsync on) at the first
# scale (ZX_SQLITE=0 runs only those); ZX_DURATION (10s), ZX_CONNECTIONS (32),
# ZX_THREADS (2); ZX_UPLOAD_ONLY=1 runs only the uploads. ZX_SERVER: another
# build of the service (to compare two builds in turn); ZX_SERVER_ARGS: more
# options for it (--readers 0 ...); ZX_ONLY: a pattern, only the scenarios
# whose label matches run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
work=${2:-/tmp/zorvanix-bench}
duration=${ZX_DURATION:-10s}
connections=${ZX_CONNECTIONS:-32}
threads=${ZX_THREADS:-2}
scales=${ZX_SCALES:-1 50}
server=${ZX_SERVER:-$build/server/zorvanix-server}
only=${ZX_ONLY:-.}
generator=$build/bench/server/zorvanix_bench_dataset
mkdir -p "$work"
export ZX_SCRIPTS=$here

pid=
pg_bin=
stop_service() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  pid=
}
stop_pg() {
  if [ -n "$pg_bin" ]; then
    runuser -u postgres -- "$pg_bin/pg_ctl" -D "$work/pg/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$work/pg"
  fi
  pg_bin=
}
trap 'stop_service; stop_pg' EXIT

# Starts the service on database $1 (an address); sets pid and root.
start_service() {
  # shellcheck disable=SC2086
  "$server" --listen 127.0.0.1:0 --database "$1" --mail-spool "$work/mail" ${ZX_SERVER_ARGS:-} \
    >"$work/server.out" 2>"$work/access.log" &
  pid=$!
  # A dataset made before the last schema step is migrated at the start
  # (rebuilding an index of 10 million scores takes a minute or two).
  for _ in $(seq 6000); do
    grep -q "listening on" "$work/server.out" 2>/dev/null && break
    sleep 0.1
  done
  root=$(sed -n 's/^listening on //p' "$work/server.out")
  echo "== service at $root (pid $pid) on $1"
}

# CPU seconds the service has used so far (user + system).
cpu() { awk -v hz="$(getconf CLK_TCK)" '{printf "%.2f", ($14 + $15) / hz}' "/proc/$pid/stat"; }
# summary LABEL WRK-OUTPUT CPU-SECONDS: wrk's figures and a summary line
# (requests/s, p50, p99, service CPU per request, load average).
summary() {
  echo "$2" | grep -E "requests in|unexpected" | sed 's/^/   /'
  # On a shared machine the service may not get a whole core: the CPU it
  # used per request says what it costs whatever the machine's load.
  echo "$2" | awk -v label="$1" -v used="$3" -v load="$(cut -d' ' -f1 /proc/loadavg)" '
    /requests in/ { n = $1 }
    /Requests\/sec/ { rate = $2 }
    /^p50/ { p50 = $2; p99 = $5 }
    END { printf "RESULT %-34s %9.0f req/s  p50 %7.2f ms  p99 %7.2f ms  CPU %6.0f us/req  load %s\n",
                 label, rate, p50, p99, (n > 0 ? used * 1e6 / n : 0), load }'
}
requests() { echo "$1" | awk '/requests in/ { print $1 }'; }
calc() { awk "BEGIN { print $1 }"; }
# run LABEL SCRIPT [VAR=value...]: one wrk run and its summary.
run() {
  local label=$1 script=$2 before after out
  shift 2
  echo "$label" | grep -qE "$only" || [[ $label == "(warm-up)"* ]] || return 0
  before=$(cpu)
  out=$(env "$@" wrk -t"$threads" -c"$connections" -d"${ZX_DURATION:-$duration}" \
    -s "$here/$script" "$root")
  after=$(cpu)
  summary "$label" "$out" "$(calc "$after - $before")"
}
# run_mixed LABEL: one client reads the score list of one class over and
# over while the other connections download every teacher's record in turn;
# the records' figures say whether one heavy reader holds up the others.
# The CPU per request is over the requests of both.
run_mixed() {
  local label=$1 before after heavy others
  echo "$label" | grep -qE "$only" || return 0
  before=$(cpu)
  env ZX_TARGETS=getscore.txt wrk -t1 -c1 -d"$duration" -s "$here/get.lua" "$root" \
    >"$work/heavy.out" &
  local heavy_pid=$!
  others=$(env ZX_TARGETS=records.txt ZX_ALL=1 wrk -t"$threads" -c$((connections - 1)) \
    -d"$duration" -s "$here/get.lua" "$root")
  wait "$heavy_pid"
  after=$(cpu)
  heavy=$(cat "$work/heavy.out")
  local used n
  used=$(calc "$after - $before")
  n=$(( $(requests "$heavy") + $(requests "$others") ))
  summary "$label: records" "$others" "$(calc "$used * $(requests "$others") / $n")"
  summary "$label: the one score list" "$heavy" "$(calc "$used * $(requests "$heavy") / $n")"
}

for scale in $scales; do
  [ "${ZX_SQLITE:-1}" = 0 ] && break
  data=$work/x$scale
  mkdir -p "$data"
  if [ ! -f "$data/bench.db" ]; then
    echo "== generating the ${scale}x dataset in $data"
    start=$(date +%s)
    "$generator" --database "sqlite:$data/bench.db" --out "$data" --scale "$scale"
    echo "== generated in $(( $(date +%s) - start )) s"
  fi
  # Uploads add scores; benchmark on a copy so every run starts the same.
  cp "$data/bench.db" "$data/run.db"
  rm -f "$data/run.db-wal" "$data/run.db-shm"
  # On the disk before the service starts: else the first checkpoint's flush
  # writes out the whole copy, and the upload is charged for it.
  sync "$data/run.db"
  start_service "sqlite:$data/run.db"
  export ZX_DATA=$data ZX_THREADS=$threads
  # Warm-up: every teacher's passwords checked once (Argon2id, on the
  # service's worker thread), as on a service that has been running; the
  # warm-up uploads use bodies the measured run does not reach.
  ZX_DURATION=3s run "(warm-up) record" get.lua ZX_TARGETS=records.txt ZX_ALL=1 >/dev/null
  ZX_DURATION=3s run "(warm-up) upload" upload.lua ZX_FIRST=30000 >/dev/null
  run "${scale}x sqlite upload 20 lines" upload.lua
  if [ "${ZX_UPLOAD_ONLY:-0}" != 1 ]; then
    run "${scale}x getscore one class" get.lua ZX_TARGETS=getscore.txt
    run "${scale}x results page, every teacher" get.lua ZX_TARGETS=results.txt ZX_ALL=1
    run "${scale}x record, every teacher" get.lua ZX_TARGETS=records.txt ZX_ALL=1
    run_mixed "${scale}x score list loop beside records"
  fi
  grep -E "VmRSS|VmHWM" "/proc/$pid/status" | tr -s ' ' | tr '\n' ' '; echo
  stop_service
  echo "== scores after the run: $(sqlite3 "$data/run.db" 'SELECT COUNT(*) FROM scores')"
done

if [ "${ZX_PG:-0}" = 1 ]; then
  # A throwaway cluster with the durability of a real one (fsync on).
  pg_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
  rm -rf "$work/pg"; mkdir -p "$work/pg"; chown postgres "$work/pg"
  runuser -u postgres -- "$pg_bin/initdb" -D "$work/pg/data" -A trust -U postgres -E UTF8 \
    --no-locale >"$work/pg/initdb.log"
  port=$(( 20000 + RANDOM % 20000 ))
  runuser -u postgres -- "$pg_bin/pg_ctl" -D "$work/pg/data" -l "$work/pg/server.log" -w -t 30 \
    -o "-p $port -k $work/pg -c listen_addresses=127.0.0.1" start >/dev/null
  scale=${scales%% *}
  data=$work/pg-x$scale
  mkdir -p "$data"
  runuser -u postgres -- "$pg_bin/createdb" -h 127.0.0.1 -p "$port" zxbench
  "$generator" --database "postgresql://postgres@127.0.0.1:$port/zxbench" --out "$data" \
    --scale "$scale"
  start_service "postgresql://postgres@127.0.0.1:$port/zxbench"
  export ZX_DATA=$data ZX_THREADS=$threads
  ZX_DURATION=3s run "(warm-up) upload" upload.lua ZX_FIRST=30000 >/dev/null
  run "${scale}x postgresql upload 20 lines" upload.lua
  stop_service
  stop_pg
fi
