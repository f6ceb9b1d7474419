#!/bin/sh
# Runs a command on a private session bus with a Secret Service of its own:
# a gnome-keyring-daemon whose login keyring lives in a fresh folder and is
# unlocked with a throw-away password. The user's keyring is never seen, and
# the daemon ends with the bus.
set -eu
keyrings=$(mktemp -d "${TMPDIR:-/tmp}/larkwatch-keyring.XXXXXX")
trap 'rm -rf "$keyrings"' EXIT
status=0
dbus-run-session -- sh -c '
  printf %s larkwatch-test |
    XDG_DATA_HOME="$0" gnome-keyring-daemon --unlock --components=secrets >/dev/null
  exec "$@"' "$keyrings" "$@" || status=$?
exit $status
