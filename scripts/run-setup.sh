# What scripts/run prepares before it opens the window. Sourced, not run.

# Setup.ini (structure file Sample, delete button shown) and Sample.DS in the application
# folder, each only when that folder has none: the operator's files are never replaced.
put_sample_files() {
  local bin="$1"
  if [ ! -e "$bin/Setup.ini" ]; then
    printf '[DataBase]\nDSName=Sample\n[Setup]\nSupperUser=1\n' >"$bin/Setup.ini"
    say "wrote ${bin#$root/}/Setup.ini (DSName=Sample, SupperUser=1)"
  fi
  if [ ! -e "$bin/Sample.DS" ] && [ -f "$root/samples/Sample.tsv" ]; then
    "$bin/dsfile" write "$bin/Sample.DS" <"$root/samples/Sample.tsv"
    say "wrote ${bin#$root/}/Sample.DS from samples/Sample.tsv"
  fi
}

port_answers() { (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }

# "(local)" is 127.0.0.1:1433. When a SQL Server answers there the window talks to it; else
# dsadmin-sandbox is started there in the background and keeps running after the window closes
# (its data and log in the user's state folder), so the next start finds it again.
start_sandbox_unless_a_server_answers() {
  if port_answers 127.0.0.1 1433; then
    say "a server answers on 127.0.0.1:1433: the window talks to it"
    return
  fi
  local state="${XDG_STATE_HOME:-$HOME/.local/state}/dsadmin-sandbox"
  mkdir -p "$state"
  setsid "$build/bin/dsadmin-sandbox" --listen 127.0.0.1:1433 --data "$state" \
    </dev/null >>"$state/sandbox.log" 2>&1 &
  local pid=$! i
  for i in $(seq 50); do
    port_answers 127.0.0.1 1433 && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! port_answers 127.0.0.1 1433; then
    say "dsadmin-sandbox did not start; its log, $state/sandbox.log, ends with:"
    tail -n 5 "$state/sandbox.log" >&2
    exit 1
  fi
  say "no SQL Server on 127.0.0.1:1433: started dsadmin-sandbox there (pid $pid, data and log in $state; login sa, empty password)"
}
