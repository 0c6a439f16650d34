#!/usr/bin/env bash
# install_test.sh DEBS SETTINGS_SAVE STRUCTURE_FILE, as root: installs the packages in the
# folder DEBS on this machine for real and tries them as a site would. The group dsadmin and
# /etc/opt/dsadmin (root:dsadmin 2770) exist; a save through the settings layer (the program
# SETTINGS_SAVE) as root creates Setup.ini behind the link /opt/dsadmin/Setup.ini as
# root:dsadmin 0660; an operator in the group reads and saves it, `nobody` can do neither; the
# README's recipe keeps the file so; removal keeps the settings, purge leaves nothing; a
# Setup.ini that an earlier version kept in /opt/dsadmin moves into the shared folder.
#
# One at a time on the machine (a lock in /run/lock, also against other checkouts' tests), and
# only where the packages are not installed already. Whatever happens, the packages are
# purged and the test user (and the group, when it did not exist before) removed again.
set -eu
debs="$1"
save_program="$2"
structure="$3"
fail() { echo "FAIL: $*" >&2; exit 1; }

op=dsadmin-test-op
marker=/run/lock/dsadmin-install-test.installed
exec 8>/run/lock/dsadmin-install-test.lock
flock -w 900 8 || fail "another package test kept the machine for 15 minutes"

installed() { dpkg-query -W -f='${Status}\n' "$@" 2>/dev/null | grep -qv 'not-installed'; }
apt_get() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -qq --no-install-recommends \
        -o DPkg::Lock::Timeout=600 "$@"
}
apt_or_fail() { apt_get "$@" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get $*"; }; }

# A test killed part-way (a time-out) leaves its marker: what it installed is ours to remove.
if [ -e "$marker" ]; then
    echo "removing what an interrupted package test left"
    ! installed dsadmin dsadmin-sandbox || apt_get purge dsadmin dsadmin-sandbox >/dev/null 2>&1 || true
    rm -rf /opt/dsadmin /etc/opt/dsadmin
    ! getent passwd "$op" >/dev/null || userdel "$op"
    grep -qx 'made-group' "$marker" && getent group dsadmin >/dev/null && groupdel dsadmin
    rm -f "$marker"
fi
if installed dsadmin dsadmin-sandbox || [ -e /opt/dsadmin ] || [ -e /etc/opt/dsadmin ] ||
    getent passwd "$op" >/dev/null; then
    echo "dsadmin is installed on this machine: it was left alone, and not installed again"
    exit 0
fi

work=$(mktemp -d)
chmod 755 "$work"  # the test user and nobody run the settings program from here
cp "$save_program" "$work/settings_save"
save="$work/settings_save"
made_group=no
getent group dsadmin >/dev/null || made_group=yes
{ echo started; [ $made_group = no ] || echo made-group; } >"$marker"
cleanup() {
    set +e
    ! installed dsadmin dsadmin-sandbox ||
        apt_get purge dsadmin dsadmin-sandbox >"$work/purge.log" 2>&1 || cat "$work/purge.log"
    rm -rf /opt/dsadmin /etc/opt/dsadmin
    ! getent passwd "$op" >/dev/null || userdel "$op"
    [ $made_group = no ] || ! getent group dsadmin >/dev/null || groupdel dsadmin
    rm -rf "$work" "$marker"
}
trap cleanup EXIT

shows() {  # shows PATH EXPECTED: owner, group and mode of PATH (the link's target)
    local got
    got=$(stat -L -c '%U:%G %a' "$1" 2>/dev/null) || got="missing"
    [ "$got" = "$2" ] || fail "$1 is $got, not $2"
}

apt_or_fail install "$debs"/dsadmin_*.deb "$debs"/dsadmin-sandbox_*.deb
gid=$(getent group dsadmin | cut -d: -f3) || fail "no group dsadmin"
[ "$gid" -lt 1000 ] || fail "dsadmin is not a system group (gid $gid)"
shows /etc/opt/dsadmin "root:dsadmin 2770"
[ "$(readlink /opt/dsadmin/Setup.ini)" = /etc/opt/dsadmin/Setup.ini ] ||
    fail "/opt/dsadmin/Setup.ini is no link to /etc/opt/dsadmin/Setup.ini"
[ ! -e /etc/opt/dsadmin/Setup.ini ] || fail "the package installed settings"
install -m 0644 "$structure" /opt/dsadmin/Round.DS  # the site's structure file (README)

# Root saves first: the file is made behind the link, for the group.
(umask 022 && "$save" /opt/dsadmin/Setup.ini DataBase UserName=sa PassWord=s3cret) >/dev/null
[ -L /opt/dsadmin/Setup.ini ] || fail "root's save replaced the link"
shows /opt/dsadmin/Setup.ini "root:dsadmin 660"
[ "$(ls /opt/dsadmin | grep Setup)" = Setup.ini ] || fail "the save wrote beside the link"
[ -e /etc/opt/dsadmin/Setup.ini.lock ] || fail "no lock beside the file"

# An operator (a member of the group) reads and saves; nobody else does either.
useradd --system --no-create-home --shell /usr/sbin/nologin --groups dsadmin "$op"
runuser -u "$op" -- grep -q '^PassWord=s3cret' /opt/dsadmin/Setup.ini ||
    fail "an operator of the group cannot read Setup.ini"
! runuser -u nobody -- cat /opt/dsadmin/Setup.ini >/dev/null 2>&1 ||
    fail "nobody reads the password"
[ "$(runuser -u "$op" -- "$save" /opt/dsadmin/Setup.ini DataBase DBName=Round)" = DBName=Round ] ||
    fail "an operator's save"
shows /opt/dsadmin/Setup.ini "$op:dsadmin 660"
runuser -u nobody -- "$save" /opt/dsadmin/Setup.ini DataBase DBName=Evil >/dev/null
grep -q '^DBName=Round' /etc/opt/dsadmin/Setup.ini || fail "nobody changed Setup.ini"

# The README's recipe, then root's save: the file stays root:dsadmin 0660.
printf '[DataBase]\r\nDSName=Round\r\n[Setup]\r\nSupperUser=0\r\n' |
    install -m 0660 -g dsadmin /dev/stdin /etc/opt/dsadmin/Setup.ini
"$save" /opt/dsadmin/Setup.ini DataBase PassWord=s3cret >/dev/null
shows /opt/dsadmin/Setup.ini "root:dsadmin 660"
[ -L /opt/dsadmin/Setup.ini ] || fail "the save replaced the link"

# Removing keeps the settings, the link and the site's files; purging leaves nothing.
apt_or_fail remove dsadmin dsadmin-sandbox
[ ! -e /opt/dsadmin/dsadmin ] || fail "removal left the program"
grep -q '^PassWord=s3cret' /etc/opt/dsadmin/Setup.ini || fail "removal lost the settings"
[ -L /opt/dsadmin/Setup.ini ] && [ -f /opt/dsadmin/Round.DS ] ||
    fail "removal lost the link or the structure file"
apt_or_fail purge dsadmin dsadmin-sandbox
! installed dsadmin dsadmin-sandbox || fail "the packages are still known to dpkg"
[ ! -e /opt/dsadmin ] && [ ! -e /etc/opt/dsadmin ] ||
    fail "purge left: $(find /opt/dsadmin /etc/opt/dsadmin 2>/dev/null | tr '\n' ' ')"

# An earlier version's Setup.ini, world-readable in /opt/dsadmin, moves into the shared folder.
mkdir -p /opt/dsadmin
printf '[DataBase]\r\nPassWord=old\r\n' >/opt/dsadmin/Setup.ini
chmod 0644 /opt/dsadmin/Setup.ini
apt_or_fail install "$debs"/dsadmin_*.deb
[ "$(readlink /opt/dsadmin/Setup.ini)" = /etc/opt/dsadmin/Setup.ini ] ||
    fail "the earlier Setup.ini was not moved"
shows /opt/dsadmin/Setup.ini "root:dsadmin 660"
grep -q '^PassWord=old' /etc/opt/dsadmin/Setup.ini || fail "the move lost the settings"
apt_or_fail purge dsadmin
[ ! -e /opt/dsadmin ] && [ ! -e /etc/opt/dsadmin ] || fail "the second purge left files"
echo "installed, shared with the group dsadmin, removed and purged for real"
