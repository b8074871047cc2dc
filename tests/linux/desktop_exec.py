#!/usr/bin/python3
# Reads a desktop entry file the way GLib-based desktops do and prints, one a
# line: the program its Exec runs (hex-encoded UTF-8), Type, Name, Icon and
# X-GNOME-Autostart-enabled.
import sys

from gi.repository import GLib

entry = GLib.KeyFile()
entry.load_from_file(sys.argv[1], GLib.KeyFileFlags.NONE)
group = "Desktop Entry"
ok, argv = GLib.shell_parse_argv(entry.get_string(group, "Exec"))
print(argv[0].replace("%%", "%").encode().hex())
for key in ("Type", "Name", "Icon", "X-GNOME-Autostart-enabled"):
    print(entry.get_string(group, key))
