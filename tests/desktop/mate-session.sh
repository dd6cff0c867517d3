#!/bin/bash
# mate-session.sh PACKAGE_ROOT: a mate-screensaver session with the unpacked package in place,
# for recipe.sh. Run as root in mount and PID namespaces of its own: lays PACKAGE_ROOT's /usr
# over the system's, so that the daemon finds the theme file and the hack where an installed
# package puts them while nothing is written to the system; starts a session bus, chooses
# Vornelle as the only theme with locking off, starts the daemon with its debug log on
# standard output, activates it and waits. Ending the namespace ends everything it started.
set -u
root=$1

if [ "${2:-}" != --in-session ]; then
    mount -t overlay overlay -o "lowerdir=$root/usr:/usr" /usr || exit 1
    exec dbus-run-session -- "$0" "$root" --in-session
fi

gsettings set org.mate.screensaver mode single
gsettings set org.mate.screensaver themes "['screensavers-vornelle']"
gsettings set org.mate.screensaver lock-enabled false
mate-screensaver --no-daemon --debug &
for _ in $(seq 100); do
    mate-screensaver-command --query >/dev/null 2>&1 && break
    sleep 0.2
done
mate-screensaver-command --activate
wait
