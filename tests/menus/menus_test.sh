#!/bin/sh
# The menus are read and started by GLib and nautilus-python through Debian's own Python.
exec /usr/bin/python3 "$(dirname "$0")/menus_test.py" "$@"
