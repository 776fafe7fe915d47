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
#
# Only the chronyd this script started from STATE_DIR is ever stopped: a
# port held by any other program is reported with its holder and left alone.
set -euo pipefail
cmd="${1:?start or stop}"
dir="${2:?state folder}"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"

udp_port_in_use() { ss -Huln "sport = :$1" 2>/dev/null | grep -q .; }
# Who holds a UDP port, as ss names it ("chronyd",pid=N,fd=M), or nothing.
udp_port_holder() { ss -Hulnp "sport = :$1" 2>/dev/null | grep -o '(("[^)]*)' | head -n1 | tr -d '()'; }

# Whether pid is the chronyd started with this folder's configuration. A pid
# file outlives its process, and the number may by now be another program's.
ours() {
  [ -n "$1" ] && [ -r "/proc/$1/cmdline" ] &&
    tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -qF -- "chronyd -x -n -u root -f $dir/chrony.conf "
}

stop() {
  local pid=""
  [ -f "$dir/chronyd.pid" ] && pid="$(cat "$dir/chronyd.pid")"
  if ours "$pid"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do ours "$pid" || break; sleep 0.1; done
    ours "$pid" && kill -9 "$pid" 2>/dev/null || true
  elif [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    echo "chronyd-test: pid $pid of $dir/chronyd.pid is no longer its chronyd; left alone" >&2
  fi
  # chronyd's own pid file, left by one that was killed outright, makes the
  # next one refuse to start while any process has that number.
  local own=""
  [ -f "$dir/chronyd.pid.chrony" ] && own="$(cat "$dir/chronyd.pid.chrony")"
  ours "$own" || rm -f "$dir/chronyd.pid.chrony"
  rm -f "$dir/chronyd.pid" "$dir/port"
}

# Start-up takes chronyd well under a second, but on a loaded machine it
# was seen to take several: give it this long to listen.
listen_wait_s=30

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
      holder="$(udp_port_holder "$port")"
      echo "chronyd-test: UDP port $port is taken${holder:+ by $holder} (not this folder's chronyd; left running)" >&2
      exit 3
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
    for _ in $(seq $((listen_wait_s * 20))); do
      udp_port_in_use "$port" && break
      kill -0 "$(cat "$dir/chronyd.pid")" 2>/dev/null || {
        echo "chronyd-test: chronyd exited at start: $(tr '\n' ' ' <"$dir/chronyd.log")" >&2
        rm -f "$dir/chronyd.pid"
        exit 1
      }
      sleep 0.05
    done
    udp_port_in_use "$port" || {
      echo "chronyd-test: chronyd is not listening on port $port after ${listen_wait_s} s" >&2
      stop
      exit 1
    }
    echo "$port" >"$dir/port"
    echo "$port"
    ;;
  *) echo "usage: $0 start|stop STATE_DIR [PORT]" >&2; exit 2 ;;
esac
