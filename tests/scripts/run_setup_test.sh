#!/usr/bin/env bash
# scripts/run without a display, and its setup steps (scripts/run-setup.sh) in a scratch folder
# with a scratch state folder and a free port, the window stood in for by a process that
# replaces the shell as the window does. Usage: run_setup_test.sh SOURCE_DIR BUILD_DIR
set -eu
root="$1"
build_dir="$2"
scratch=$(mktemp -d)
sandbox_pid=""
stand_in=""
stranger=""
cleanup() {
  [ -n "$stand_in" ] && kill "$stand_in" 2>/dev/null
  [ -n "$stranger" ] && kill "$stranger" 2>/dev/null
  [ -n "$sandbox_pid" ] && kill "$sandbox_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
mode() { stat -c %a "$1"; }
tsql_login() {
  tsql -H 127.0.0.1 -p "$port" -U sa -P "$1" <<<$'select 1\ngo\nexit' >/dev/null 2>&1
}

# Without a display nothing is installed, built, written or started. A cmake on the PATH
# that leaves a mark stands for the build.
mkdir "$scratch/path"
printf '#!/bin/sh\ntouch "%s/cmake-ran"\nexit 1\n' "$scratch" >"$scratch/path/cmake"
chmod +x "$scratch/path/cmake"
if out=$(env -u DISPLAY -u WAYLAND_DISPLAY PATH="$scratch/path:$PATH" \
  XDG_STATE_HOME="$scratch/state" DSADMIN_BUILD_DIR="$scratch/build" "$root/scripts/run" 2>&1); then
  fail "scripts/run went on without a display: $out"
fi
grep -q "no display: DISPLAY is not set" <<<"$out" || fail "no hint about the display: $out"
[ ! -e "$scratch/cmake-ran" ] && [ ! -e "$scratch/state" ] && [ ! -e "$scratch/build" ] ||
  fail "scripts/run did something before checking the display: $(ls "$scratch")"

# The setup steps, as scripts/run runs them, then the stand-in window.
export XDG_STATE_HOME="$scratch/state"
bin="$scratch/bin"
mkdir "$bin"
cp "$build_dir/bin/dsfile" "$bin/"
# A port below the kernel's ephemeral range: the other tests' servers bind port 0 and are
# given ports from that range, so none of them can take this one between the check and the start.
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
read -r ephemeral_low _ </proc/sys/net/ipv4/ip_local_port_range
pick_port() { echo $((10000 + RANDOM % (ephemeral_low > 12000 ? ephemeral_low - 10000 : 2000))); }
port=$(pick_port)
while ! port_free "$port"; do port=$(pick_port); done
setup() {
  DSADMIN_BUILD_DIR="$build_dir" bash -c '
    source "$1/scripts/common.sh"
    source "$1/scripts/run-setup.sh"
    ensure_sandbox_password
    put_sample_files "$2"
    start_sandbox_unless_a_server_answers "$3"
    exec sleep 300' setup "$root" "$bin" "$port" >"$scratch/setup.out" 2>&1 &
  stand_in=$!
  for _ in $(seq 100); do
    grep -q "started dsadmin-sandbox\|answers on" "$scratch/setup.out" 2>/dev/null && return
    kill -0 "$stand_in" 2>/dev/null || fail "setup stopped: $(cat "$scratch/setup.out")"
    sleep 0.1
  done
  fail "setup did not finish: $(cat "$scratch/setup.out")"
}
setup
state="$scratch/state/dsadmin-sandbox"
password=$(cat "$state/sa-password")
sandbox_pid=$(cat "$state/sandbox.pid")

[[ "$password" =~ ^[0-9a-f]{32}$ ]] || fail "password '$password'"
[ "$(mode "$state")" = 700 ] || fail "state folder mode $(mode "$state")"
[ "$(mode "$state/sa-password")" = 600 ] || fail "password file mode $(mode "$state/sa-password")"
[ "$(mode "$bin/Setup.ini")" = 600 ] || fail "Setup.ini mode $(mode "$bin/Setup.ini")"
grep -q "^PassWord=$password"$'\r'"$" "$bin/Setup.ini" || fail "Setup.ini: $(cat "$bin/Setup.ini")"
[ -s "$bin/Sample.DS" ] || fail "no Sample.DS"

# The sandbox is nobody's child here (so never a zombie of the window), keeps its password
# out of the process list, logs in with it only, and outlives the window.
parent=$(awk '/^PPid:/ {print $2}' "/proc/$sandbox_pid/status")
[ "$parent" != "$stand_in" ] && [ "$parent" != "$$" ] || fail "the sandbox is a child of $parent"
! tr '\0' ' ' <"/proc/$sandbox_pid/cmdline" | grep -q "$password" || fail "password in ps"
tsql_login "$password" || fail "sa cannot log in with the password"
tsql_login "" && fail "sa logs in with an empty password"
kill "$stand_in"
wait "$stand_in" 2>/dev/null || true
stand_in=""
tsql_login "$password" || fail "the sandbox stopped with the window"

# A second start keeps the password and the operator's Setup.ini, and finds the sandbox.
echo "; the operator's" >>"$bin/Setup.ini"
setup
[ "$(cat "$state/sa-password")" = "$password" ] || fail "the password changed"
grep -q "the operator's" "$bin/Setup.ini" || fail "Setup.ini replaced"
grep -q "answers on 127.0.0.1:$port" "$scratch/setup.out" || fail "$(cat "$scratch/setup.out")"

# The way the README gives to stop it.
kill "$(cat "$state/sandbox.pid")"
for _ in $(seq 50); do kill -0 "$sandbox_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$sandbox_pid" 2>/dev/null && fail "the sandbox did not stop"
sandbox_pid=""

# A stranger on the port (a server the state folder does not name): with the sandbox's password
# in Setup.ini the setup says what is there and stops before the window could send it; with the
# operator's own password it goes on and the window talks to that server.
mkdir "$scratch/stranger"
"$build_dir/bin/dsadmin-sandbox" --listen "127.0.0.1:$port" --data "$scratch/stranger" \
  --sa-password other >"$scratch/stranger.log" 2>&1 &
stranger=$!
for _ in $(seq 100); do port_free "$port" || break; sleep 0.1; done
setup_once() {
  DSADMIN_BUILD_DIR="$build_dir" bash -c '
    source "$1/scripts/common.sh"
    source "$1/scripts/run-setup.sh"
    start_sandbox_unless_a_server_answers "$3" "$2"' setup "$root" "$bin" "$port" 2>&1
}
if out=$(setup_once); then fail "went on with a stranger on the port: $out"; fi
grep -q "is taken by dsadmin-sandbox (pid $stranger, user $(id -un))" <<<"$out" || fail "$out"
grep -q "holds the sandbox's sa password" <<<"$out" || fail "$out"
sed -i "s/^PassWord=.*/PassWord=other\r/" "$bin/Setup.ini"
out=$(setup_once) || fail "stopped although Setup.ini holds another password: $out"
grep -q "a server answers on 127.0.0.1:$port (dsadmin-sandbox (pid $stranger" <<<"$out" || fail "$out"
echo "scripts/run and its setup steps: all checks passed"
