# The file managers' menus, installed, each entry started as its file manager starts it.
#
# Usage: menus_test.py CMAKE BUILD_DIR SOURCE_DIR
#
# The build is installed into a temporary prefix; the menu files must be where their file managers
# look. Each is read with GLib's key-file parser, as the file managers read it, and must offer the
# rules of the table it was made from (packaging/menus/rules.tsv) in its order. The command line of
# each entry is put together the way its file manager does it, for a selection of files and
# folders with awkward names, and started. A stand-in named "versalo" first in PATH records the
# arguments it gets; they must be the rule's option, "--" and the paths, byte for byte. Then the
# installed window program runs with exactly these arguments (offscreen, with a settings folder of
# its own) on the real tree, and the names must come out as versalo-cli makes them by the same rule,
# while the rule stored in the settings stays as it was.

import atexit
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("GLib", "2.0")
gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

CMAKE, BUILD, SOURCE = sys.argv[1:4]
TITLE = "Groß-/Kleinschreibung"

work = tempfile.mkdtemp(prefix="versalo-menus-")
atexit.register(shutil.rmtree, work, True)
prefix = os.path.join(work, "prefix")
subprocess.run([CMAKE, "--install", BUILD, "--prefix", prefix], stdout=subprocess.DEVNULL, check=True)
MENUS = os.path.join(prefix, "share")
WINDOW = os.path.join(prefix, "bin", "versalo")
CLI = os.path.join(prefix, "bin", "versalo-cli")

with open(os.path.join(SOURCE, "packaging/menus/rules.tsv"), encoding="utf-8") as table:
    RULES = [line.rstrip("\n").split("\t") for line in table if line.strip() and not line.startswith("#")]

# Blanks, both quotes, a dollar, a backslash, a newline, a tab, field codes, a leading dash and
# a name that is not UTF-8 (a folder, so that the rename of what is inside shows it arrived).
SELECTION = [b"Leer Zeichen.TXT", b"It's Mixed.Txt", b'Zi"tat Eins.TXT', b"$HOME Dollar.Txt",
             b"Back\\Slash.TXT", b"Neue\nZeile.TXT", b"Tab\tName.Txt", b"Prozent %F %u.TXT",
             b"-Strich.TXT", b"Ordner \xe9", b"Ordner Mit 'Inhalt'"]
INSIDE = [b"Ordner \xe9/Innen Datei.TXT", b"Ordner Mit 'Inhalt'/Unter Ordner",
          b"Ordner Mit 'Inhalt'/Unter Ordner/Tief $Innen.TXT"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)
    return condition


def make_tree(root):
    os.makedirs(root)
    for name in SELECTION + INSIDE:
        path = os.path.join(os.fsencode(root), name)
        if b"Ordner" in os.path.basename(name):
            os.makedirs(path)
        else:
            open(path, "wb").close()


def listing(root):
    root = os.fsencode(root)
    found = []
    for folder, folders, files in os.walk(root):
        for name in folders + files:
            found.append(os.path.relpath(os.path.join(folder, name), root))
    return sorted(found)


# The stand-in for the window program: it writes its arguments, NUL-separated, to a file.
stand_in_dir = os.path.join(work, "bin")
os.makedirs(stand_in_dir)
record = os.path.join(work, "argv")
with open(os.path.join(stand_in_dir, "versalo"), "w", encoding="utf-8") as script:
    script.write("#!/usr/bin/python3\nimport os, sys\n"
                 f"with open({record!r} + '.new', 'wb') as out:\n"
                 "    out.write(b'\\0'.join(os.fsencode(a) for a in sys.argv[1:]))\n"
                 f"os.rename({record!r} + '.new', {record!r})\n")
os.chmod(os.path.join(stand_in_dir, "versalo"), 0o755)
os.environ["PATH"] = stand_in_dir + os.pathsep + os.environ["PATH"]


def recorded_argv():
    for _ in range(200):
        if os.path.exists(record):
            with open(record, "rb") as data:
                argv = data.read().split(b"\0")
            os.remove(record)
            return argv
        time.sleep(0.025)
    return None


def expected_names(option):
    # What versalo-cli makes of the same tree by the same rule; both programs share the renaming.
    root = os.path.join(work, "expected")
    shutil.rmtree(root, ignore_errors=True)
    make_tree(root)
    subprocess.run([CLI, option, "--"] + [os.path.join(os.fsencode(root), n) for n in SELECTION],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return listing(root)


def run_window(argv, root, want, stored_rule):
    # The window stays open after its drop; it is ended once the names are there (or after a while).
    home = os.path.join(work, "home")
    shutil.rmtree(home, ignore_errors=True)
    config = os.path.join(home, "config")
    os.makedirs(config)
    settings = os.path.join(config, "Quistel's Kistwerk.ini")
    with open(settings, "w", encoding="utf-8") as ini:
        ini.write(f"[Versalo]\nCaseType={stored_rule}\n")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen")
    window = subprocess.Popen([WINDOW] + argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and listing(root) != want and window.poll() is None:
        time.sleep(0.05)
    window.kill()
    _, errors = window.communicate()
    with open(settings, encoding="utf-8") as ini:
        stored = [line for line in ini if line.startswith("CaseType=")]
    return listing(root), stored, errors.decode(errors="replace")


def try_entry(where, option, start):
    """start(paths) launches the entry as the file manager would; then the window renames."""
    root = os.path.join(work, "tree")
    shutil.rmtree(root, ignore_errors=True)
    make_tree(root)
    paths = [os.path.join(os.fsencode(root), name) for name in SELECTION]
    start(paths)
    argv = recorded_argv()
    if not check(argv == [option.encode(), b"--"] + paths, f"{where}: arguments {argv!r}"):
        return
    want = expected_names(option)
    check(want != listing(root), f"{where}: the rule changes nothing in the test tree")
    # The window's own rule is another one (upper case for the entry "lower", else lower case).
    stored_rule = 0 if option == "--lower" else 1
    names, stored, errors = run_window([os.fsdecode(a) for a in argv], root, want, stored_rule)
    check(names == want, f"{where}: names after the window's run {names!r}, wanted {want!r}; {errors}")
    check(stored == [f"CaseType={stored_rule}\n"], f"{where}: the stored rule changed to {stored!r}")


def key_file(path):
    keys = GLib.KeyFile()
    keys.load_from_file(path, GLib.KeyFileFlags.NONE)  # raises on a syntax error
    return keys


def gio_launch(app):
    # GIO's own expansion of %F: a desktop entry started with the paths as files.
    return lambda paths: app.launch([Gio.File.new_for_path(os.fsdecode(p)) for p in paths], None)


def desktop_entry(exec_line):
    keys = GLib.KeyFile()
    keys.set_string("Desktop Entry", "Type", "Application")
    keys.set_string("Desktop Entry", "Name", "Versalo")
    keys.set_string("Desktop Entry", "Exec", exec_line)
    return Gio.DesktopAppInfo.new_from_keyfile(keys)


def shell_line_launch(exec_line, quote):
    # Nemo and libfm put the quoted paths into the command line as text and start it with
    # g_spawn_command_line_async, which splits it as a shell would.
    def start(paths):
        line = exec_line.replace("%F", " ".join(os.fsdecode(quote(p)) for p in paths), 1)
        GLib.spawn_command_line_async(line)
    return start


def nemo_quote(escape_spaces):
    # Nemo puts a backslash before quotes, tabs and backslashes (and blanks with EscapeSpaces)
    # and writes a newline in single quotes.
    def quote(path):
        out = bytearray()
        for byte in path:
            if byte in b"'\"\t\\" or (byte == 0x20 and escape_spaces):
                out += b"\\"
            elif byte == 0x0A:
                out += b"'\n'"
                continue
            out.append(byte)
        return bytes(out)
    return quote


def libfm_quote(path):
    # libfm (PCManFM-Qt) and Caja quote each path of %F with g_shell_quote.
    return os.fsencode(GLib.shell_quote(os.fsdecode(path)))


labels = [label for _, _, label in RULES]
options = {rule: option for rule, option, _ in RULES}

# Dolphin: one service menu, a submenu with one action per rule. KF6 reads it
# from a prefix the user owns only when it is executable.
dolphin_file = os.path.join(MENUS, "kio/servicemenus/versalo.desktop")
check(os.access(dolphin_file, os.X_OK), "Dolphin: the service menu is not executable")
dolphin = key_file(dolphin_file)
check(dolphin.get_string("Desktop Entry", "X-KDE-Submenu") == TITLE, "Dolphin: submenu title")
actions = dolphin.get_string_list("Desktop Entry", "Actions")
check(actions == [rule for rule, _, _ in RULES], f"Dolphin: actions {actions}")
check([dolphin.get_string(f"Desktop Action {a}", "Name") for a in actions] == labels, "Dolphin: labels")
for action in actions:
    try_entry(f"Dolphin {action}", options[action],
              gio_launch(desktop_entry(dolphin.get_string(f"Desktop Action {action}", "Exec"))))

# Thunar: one "Senden an" entry per rule, a desktop entry that GIO starts.
for rule, option, label in RULES:
    path = os.path.join(MENUS, f"Thunar/sendto/versalo-{rule}.desktop")
    app = Gio.DesktopAppInfo.new_from_filename(path)
    check(app is not None and app.get_name() == f"{TITLE}: {label}", f"Thunar {rule}: entry")
    check(subprocess.run(["desktop-file-validate", path]).returncode == 0, f"Thunar {rule}: validation")
    try_entry(f"Thunar {rule}", option, gio_launch(app))

# Nemo: one action per rule, the title in each label.
for rule, option, label in RULES:
    nemo = key_file(os.path.join(MENUS, f"nemo/actions/versalo-{rule}.nemo_action"))
    check(nemo.get_string("Nemo Action", "Name") == f"{TITLE}: {label}", f"Nemo {rule}: label")
    quote = nemo_quote(nemo.get_boolean("Nemo Action", "EscapeSpaces"))
    try_entry(f"Nemo {rule}", option, shell_line_launch(nemo.get_string("Nemo Action", "Exec"), quote))

# PCManFM-Qt and Caja: a menu listing one action per rule.
menu = key_file(os.path.join(MENUS, "file-manager/actions/versalo.desktop"))
check(menu.get_string("Desktop Entry", "Name") == TITLE, "file-manager menu: title")
items = menu.get_string_list("Desktop Entry", "ItemsList")
check(items == [f"versalo-{rule}" for rule, _, _ in RULES], f"file-manager menu: items {items}")
for rule, option, label in RULES:
    action = key_file(os.path.join(MENUS, f"file-manager/actions/versalo-{rule}.desktop"))
    check(action.get_string("Desktop Entry", "Name") == label, f"file-manager {rule}: label")
    for profile in action.get_string_list("Desktop Entry", "Profiles"):
        group = f"X-Action-Profile {profile}"
        try_entry(f"file-manager {rule}", option, shell_line_launch(action.get_string(group, "Exec"), libfm_quote))

# Nautilus: the extension as nautilus-python loads it, with stand-in file objects.
spec = importlib.util.spec_from_file_location(
    "versalo_nautilus", os.path.join(MENUS, "nautilus-python/extensions/versalo-nautilus.py"))
extension = importlib.util.module_from_spec(spec)
spec.loader.exec_module(extension)
provider = extension.VersaloMenu()


class FileInfo:
    def __init__(self, path, scheme="file"):
        self.path, self.scheme = path, scheme

    def get_uri_scheme(self):
        return self.scheme

    def get_location(self):
        return Gio.File.new_for_path(os.fsdecode(self.path))


check(provider.get_file_items([FileInfo(b"/x", "sftp")]) == [], "Nautilus: a remote file gets no menu")
check(provider.get_file_items([]) == [], "Nautilus: no selection, no menu")
for index, (rule, option, label) in enumerate(RULES):
    def activate(paths, index=index, label=label):
        [top] = provider.get_file_items([FileInfo(p) for p in paths])
        check(top.props.label == TITLE, "Nautilus: submenu title")
        entries = top.props.menu.get_items()
        check([e.props.label for e in entries] == labels, "Nautilus: labels")
        entries[index].activate()
    try_entry(f"Nautilus {rule}", option, activate)

print(f"{len(RULES)} rules; {len(failures)} failures")
sys.exit(1 if failures else 0)
