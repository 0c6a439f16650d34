# What scripts/run prepares before it opens the window. Sourced, not run; needs say, $root
# and $build from common.sh. The sandbox's state folder is $XDG_STATE_HOME/dsadmin-sandbox, else
# ~/.local/state/dsadmin-sandbox.

sandbox_state="${XDG_STATE_HOME:-$HOME/.local/state}/dsadmin-sandbox"
sandbox_password_file="$sandbox_state/sa-password"

# Exits with a hint unless an X display can be opened (the window needs one). Without
# xdpyinfo (not yet installed) only DISPLAY is checked.
require_display() {
  local why=""
  if [ -z "${DISPLAY:-}" ]; then
    why="no display: DISPLAY is not set"
    [ -n "${WAYLAND_DISPLAY:-}" ] &&
      why="Wayland without XWayland: set DISPLAY to the XWayland display (usually :0)"
  elif command -v xdpyinfo >/dev/null && ! xdpyinfo >/dev/null 2>&1; then
    why="no display: cannot open DISPLAY=$DISPLAY"
  fi
  [ -z "$why" ] && return 0
  say "$why"
  say "to see the window, run this from a desktop session, or over ssh -X / ssh -Y;"
  say "with no screen at all, scripts/screenshot draws it under Xvfb into docs/screenshot.png"
  exit 1
}

# The sandbox's sa password: made on first use (32 hex digits from /dev/urandom) and kept in
# $sandbox_password_file, readable by its owner only, in a state folder only the owner can enter.
ensure_sandbox_password() {
  mkdir -p "$sandbox_state"
  chmod 700 "$sandbox_state"
  if [ ! -s "$sandbox_password_file" ]; then
    (umask 077 && od -An -N16 -tx1 /dev/urandom | tr -d ' \n' >"$sandbox_password_file.tmp" &&
      mv -f "$sandbox_password_file.tmp" "$sandbox_password_file")
    say "made the sandbox's sa password: $sandbox_password_file"
  fi
  chmod 600 "$sandbox_password_file"
}

# Setup.ini (login sa with the sandbox's password, structure file Sample, delete button shown;
# mode 0600 as it holds the password) and Sample.DS in the application folder, each only when
# that folder has none: the operator's files are never replaced.
put_sample_files() {
  local bin="$1"
  if [ ! -e "$bin/Setup.ini" ]; then
    (umask 077 && printf '[DataBase]\r\nUserName=sa\r\nPassWord=%s\r\nDSName=Sample\r\n[Setup]\r\nSupperUser=1\r\n' \
      "$(cat "$sandbox_password_file")" >"$bin/Setup.ini")
    say "wrote ${bin#$root/}/Setup.ini (login sa with the sandbox's password, DSName=Sample, SupperUser=1)"
  fi
  if [ ! -e "$bin/Sample.DS" ] && [ -f "$root/samples/Sample.tsv" ]; then
    "$bin/dsfile" write "$bin/Sample.DS" <"$root/samples/Sample.tsv"
    say "wrote ${bin#$root/}/Sample.DS from samples/Sample.tsv"
  fi
}

port_answers() { (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }

# The inodes of the sockets listening on TCP port $1, IPv4 and IPv6, any local address (each
# of them takes connections to 127.0.0.1).
listening_inodes() {
  local hex
  hex=$(printf ':%04X' "$1")
  awk -v p="$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { print $10 }' \
    /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

# Whether process $1 holds every socket listening on port $2 (and there is one).
pid_owns_port() {
  local pid="$1" inode found=""
  [ -n "$pid" ] || return 1
  for inode in $(listening_inodes "$2"); do
    found=1
    find "/proc/$pid/fd" -lname "socket:\[$inode\]" 2>/dev/null | grep -q . || return 1
  done
  [ -n "$found" ]
}

# The listener on port $1 in a few words: its program, pid and user when this user may see
# them (own processes, or everyone's as root).
describe_listener() {
  local inode link pid
  for inode in $(listening_inodes "$1"); do
    link=$(find /proc/[0-9]*/fd -lname "socket:\[$inode\]" 2>/dev/null | head -n 1)
    if [ -n "$link" ]; then
      pid=${link#/proc/}
      pid=${pid%%/*}
      echo "$(cat "/proc/$pid/comm" 2>/dev/null) (pid $pid, user $(stat -c %U "/proc/$pid"))"
      return
    fi
  done
  echo "a process of another user, which this user cannot see (a system service such as SQL Server?)"
}

# The PassWord of Setup.ini in folder $1 (empty when there is none).
setup_password() {
  [ -r "$1/Setup.ini" ] || return 0
  sed -n 's/^[Pp][Aa][Ss][Ss][Ww][Oo][Rr][Dd]=//p' "$1/Setup.ini" | tr -d '\r' | head -n 1
}

# "(local)" is 127.0.0.1:1433 (a test may pass another port). When this tool's own sandbox
# answers there (its pid in the state folder holds the listening socket), the window talks to
# it. When something else answers, the window talks to that, unless Setup.ini in the application
# folder $2 (default build/bin) holds the sandbox's password: that would hand the password to a
# stranger, so the script says what is there and stops. When nothing answers,
# dsadmin-sandbox is started there, with the password of ensure_sandbox_password, detached
# from this shell and from the window that replaces it (its own session; the subshell that
# starts it exits at once, so it is nobody's child and never a zombie), and keeps running
# after the window closes. Its pid goes to sandbox.pid in the state folder, its log to
# sandbox.log.
start_sandbox_unless_a_server_answers() {
  local port="${1:-1433}" bin="${2:-$build/bin}" ours=""
  if port_answers 127.0.0.1 "$port"; then
    [ -s "$sandbox_state/sandbox.pid" ] && ours=$(cat "$sandbox_state/sandbox.pid")
    if pid_owns_port "$ours" "$port"; then
      say "dsadmin-sandbox (pid $ours) answers on 127.0.0.1:$port: the window talks to it"
      return
    fi
    local what
    what=$(describe_listener "$port")
    if [ -s "$sandbox_password_file" ] &&
      [ "$(setup_password "$bin")" = "$(cat "$sandbox_password_file")" ]; then
      say "127.0.0.1:$port is taken by $what, not by this tool's dsadmin-sandbox;"
      say "${bin#$root/}/Setup.ini holds the sandbox's sa password, which the window would send there."
      say "stop that program, or put the login of the server there into ${bin#$root/}/Setup.ini"
      exit 1
    fi
    say "a server answers on 127.0.0.1:$port ($what): the window talks to it"
    return
  fi
  (
    setsid "$build/bin/dsadmin-sandbox" --listen "127.0.0.1:$port" --data "$sandbox_state" \
      --sa-password-file "$sandbox_password_file" </dev/null >>"$sandbox_state/sandbox.log" 2>&1 &
    echo $! >"$sandbox_state/sandbox.pid"
  )
  local pid i
  pid=$(cat "$sandbox_state/sandbox.pid")
  for i in $(seq 50); do
    port_answers 127.0.0.1 "$port" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! port_answers 127.0.0.1 "$port"; then
    say "dsadmin-sandbox did not start; its log, $sandbox_state/sandbox.log, ends with:"
    tail -n 5 "$sandbox_state/sandbox.log" >&2
    exit 1
  fi
  say "no SQL Server on 127.0.0.1:$port: started dsadmin-sandbox there (pid $pid, data and log in $sandbox_state)"
  say "its login: sa, password in $sandbox_password_file; stop it with: kill \$(cat $sandbox_state/sandbox.pid)"
}
