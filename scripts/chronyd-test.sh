#!/usr/bin/env bash
# A private chronyd on loopback, for the clock tests and benchmarks. It never
# sets the host clock: it runs with -x and without CAP_SYS_TIME. It keeps
# everything in STATE_DIR: no command socket (cmdport 0 closes the network
# one, bindcmdaddress / the Unix one, which would otherwise take the place of
# the machine's own chronyd's under /run/chrony).
#
#   chronyd-test.sh start STATE_DIR [PORT]   start (free high port unless given);
#                                            prints the port, writes STATE_DIR/port
#   TW_CHRONYD_SKEW=+30 chronyd-test.sh start ...
#                                            the server's time runs 30 s ahead
#                                            (libfaketime, chronyd's process only)
#   chronyd-test.sh stop STATE_DIR           stop it by its pid
set -euo pipefail
cmd="${1:?start or stop}"
dir="${2:?state folder}"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"

udp_port_in_use() { ss -Huln "sport = :$1" 2>/dev/null | grep -q .; }

stop() {
  [ -f "$dir/chronyd.pid" ] || return 0
  local pid
  pid="$(cat "$dir/chronyd.pid")"
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/chronyd.pid" "$dir/port"
}

case "$cmd" in
  stop) stop ;;
  start)
    stop
    port="${3:-}"
    if [ -z "$port" ]; then
      for _ in $(seq 100); do
        candidate=$((20000 + RANDOM % 30000))
        if ! udp_port_in_use "$candidate"; then port=$candidate; break; fi
      done
      [ -n "$port" ] || { echo "chronyd-test: no free port" >&2; exit 1; }
    elif udp_port_in_use "$port"; then
      echo "chronyd-test: port $port is taken" >&2; exit 1
    fi
    cat >"$dir/chrony.conf" <<CONF
port $port
bindaddress 127.0.0.1
allow 127.0.0.1
local stratum 3
cmdport 0
bindcmdaddress /
pidfile $dir/chronyd.pid.chrony
driftfile $dir/chrony.drift
CONF
    # -x: never touch the clock; -n: stay in the foreground so $! is its pid;
    # -u root: keep the private files writable. No capability to set the time.
    skew=()
    if [ -n "${TW_CHRONYD_SKEW:-}" ]; then
      lib="$(ls /usr/lib/*/faketime/libfaketime.so.1 2>/dev/null | head -n1)"
      [ -n "$lib" ] || { echo "chronyd-test: libfaketime is missing" >&2; exit 1; }
      skew=(env LD_PRELOAD="$lib" FAKETIME="$TW_CHRONYD_SKEW" FAKETIME_DONT_FAKE_MONOTONIC=1)
    fi
    setpriv --bounding-set -sys_time --inh-caps -sys_time "${skew[@]}" \
      chronyd -x -n -u root -f "$dir/chrony.conf" >"$dir/chronyd.log" 2>&1 </dev/null &
    echo $! >"$dir/chronyd.pid"
    for _ in $(seq 100); do
      udp_port_in_use "$port" && break
      kill -0 "$(cat "$dir/chronyd.pid")" 2>/dev/null || { cat "$dir/chronyd.log" >&2; exit 1; }
      sleep 0.05
    done
    udp_port_in_use "$port" || { echo "chronyd-test: not listening" >&2; stop; exit 1; }
    echo "$port" >"$dir/port"
    echo "$port"
    ;;
  *) echo "usage: $0 start|stop STATE_DIR [PORT]" >&2; exit 2 ;;
esac
