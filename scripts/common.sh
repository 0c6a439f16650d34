# Shared steps of scripts/run and scripts/test. Sourced, not run.
# Installs only what is missing, then configures and builds into build/.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${DSADMIN_BUILD_DIR:-$root/build}"

say() { printf '==> %s\n' "$*"; }

# Every package named in scripts/packages/*.txt (one a line, '#' comments) that dpkg
# does not report as installed is installed with apt-get. With arguments, only the lists
# named (install_packages build app reads build.txt and app.txt).
install_packages() {
  local wanted missing=() p lists=()
  for p in "$@"; do lists+=("$root/scripts/packages/$p.txt"); done
  [ $# -gt 0 ] || lists=("$root"/scripts/packages/*.txt)
  wanted=$(sed -e 's/#.*//' -e '/^\s*$/d' "${lists[@]}" | sort -u)
  for p in $wanted; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' && continue
    # npm comes inside NodeSource's nodejs, which Debian's npm package cannot sit beside.
    [ "$p" = npm ] && command -v npm >/dev/null && continue
    missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    say "all Debian packages present"
    return
  fi
  say "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Node packages used by tests (each folder with a package-lock.json), installed from the lock.
install_node_modules() {
  local lock dir
  while IFS= read -r lock; do
    dir=$(dirname "$lock")
    if [ ! -d "$dir/node_modules" ] || [ "$lock" -nt "$dir/node_modules" ]; then
      say "npm ci in ${dir#$root/}"
      (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
      touch "$dir/node_modules"
    fi
  done < <(find "$root/tests" "$root/bench" -name package-lock.json -not -path '*/node_modules/*' 2>/dev/null)
}

configure_and_build() {
  say "configuring in ${build#$root/}"
  cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
  say "building"
  cmake --build "$build" -j "$(nproc)"
}
