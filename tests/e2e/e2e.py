#!/usr/bin/env python3
"""Runs the real program as a caller does and checks every manifest it leaves.

  e2e.py --program build/native/korvane-register --unregister build/native/korvane-unregister
  e2e.py --windows --program korvane-register.exe --unregister korvane-unregister.exe \
         --helper test_helper.exe --wine scripts/wine-run

Natively the user's application data is $APPDATA; under Wine it is the
prefix's own folder, C:\\users\\<user>\\AppData\\Roaming.
"""
import argparse
import os
import pwd
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import xml.dom.minidom

ARGS = None
NAME = "ExportToKorvane.addin"
STATUS = {0: 0, -1: 255, -2: 254, -3: 253, -4: 252}


def expected_manifest(assembly, icon, text, desc):
    """The manifest's bytes, for values that need no escaping."""
    lines = [
        '<?xml version="1.0" encoding="utf-8"?>',
        "<RevitAddIns>",
        '  <AddIn Type="Command">',
        "    <Assembly>%s</Assembly>" % assembly,
        "    <ClientId>5b8e2c71-9d4a-4e63-b0f2-7a1c36d9e845</ClientId>",
        "    <FullClassName>Kestrun.Command</FullClassName>",
        "    <Text>%s</Text>" % text,
        "    <Description>%s</Description>" % desc,
        "    <VisibilityMode>NotVisibleInFamily</VisibilityMode>",
        "    <VendorId>ADSK</VendorId>",
        "    <VendorDescription>Quadrelle, www.quadrelle.com</VendorDescription>",
        "    <LargeImage>%s</LargeImage>" % icon,
        "  </AddIn>",
        "</RevitAddIns>",
    ]
    return b"\xef\xbb\xbf" + "".join(l + "\r\n" for l in lines).encode("utf-8")


def setup_manifest(shown, version):
    """The manifest of a run whose add-in files lie in `shown`, a folder as
    the program writes it."""
    return expected_manifest(shown + "\\Kestrun%d.dll" % version, shown + "\\export.png",
                             "Korvane Interface", "Communication Addin between Revit and Korvane")


def read_manifest(path):
    """A written manifest's bytes, once an XML parser has read them whole."""
    with open(path, "rb") as f:
        data = f.read()
    parsed_values(data)
    return data


def parsed_values(data):
    """The four values, as an XML parser reads them."""
    assert data.startswith(b"\xef\xbb\xbf")
    doc = xml.dom.minidom.parseString(data)
    get = lambda tag: "".join(n.data for n in doc.getElementsByTagName(tag)[0].childNodes)
    return [get(t) for t in ("Assembly", "LargeImage", "Text", "Description")]


def install(folder, suffix):
    """Copies both programs into `folder`; returns the registration's path."""
    os.makedirs(folder, exist_ok=True)
    for program in (ARGS.program, ARGS.unregister):
        name = os.path.basename(program)
        shutil.copy(program, os.path.join(folder, name))
    return os.path.join(folder, "korvane-register" + suffix)


def test_user():
    """An unprivileged user of the tests' own, made when missing."""
    user = "korvane-test"
    if subprocess.run(["id", user], capture_output=True).returncode != 0:
        subprocess.run(["useradd", "--no-create-home", user], check=True)
    return user


def snapshot(top):
    """Every folder and file below `top`, with the files' bytes."""
    found = {}
    for at, folders, files in os.walk(top):
        for f in folders:
            found[os.path.relpath(os.path.join(at, f), top)] = None
        for f in files:
            with open(os.path.join(at, f), "rb") as data:
                found[os.path.relpath(os.path.join(at, f), top)] = data.read()
    return found


class Machine:
    """Where the program runs: paths as it sees them, and how it is started."""

    def __init__(self, work):
        self.work = work

    def start(self, exe, args, **kw):
        return subprocess.Popen(self.command(exe, args), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=self.env(), **kw)

    def run(self, exe, args, user=None):
        command = self.command(exe, args)
        if user:
            command = ["runuser", "-u", user, "--"] + command
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              env=self.env(), timeout=120)
        return done.returncode, done.stdout


class Native(Machine):
    windows = False

    def __init__(self, work):
        super().__init__(work)
        self.app_data = os.path.join(work, "home", "AppData", "Roaming")
        os.makedirs(self.app_data)

    def env(self):
        return dict(os.environ, APPDATA=self.app_data)

    def command(self, exe, args):
        return [exe] + list(args)

    def program_path(self, native):  # how the program writes a path
        return native.replace("/", "\\")

    def setup_folder(self):  # where an installer puts the program
        return os.path.join(self.work, "Korvane Setup")

    def for_user(self, user):
        return self  # the user gets the work folder, which holds everything

    def close(self):
        pass

    def install(self, folder):
        return install(folder, "")


class Wine(Machine):
    windows = True

    def __init__(self, work, prefix=None, user=None):
        super().__init__(work)
        self.prefix = prefix or os.environ["WINEPREFIX"]
        self.user = user
        name = user or pwd.getpwuid(os.getuid()).pw_name
        self.app_data = os.path.join(self.prefix, "drive_c", "users", name, "AppData", "Roaming")

    def env(self):
        return dict(os.environ, WINEDEBUG="-all", WINEPREFIX=self.prefix)

    def setup_folder(self):
        return os.path.join(self.prefix, "drive_c", "Korvane Setup")

    def for_user(self, user):
        """A prefix of the user's own: Wine runs only in a prefix that
        belongs to the user who runs it."""
        prefix = os.path.join(self.work, "prefix-of-" + user)
        os.mkdir(prefix)
        shutil.chown(prefix, user)
        machine = Wine(self.work, prefix, user)
        machine.as_user(["/usr/lib/wine/wine64", "wineboot", "-i"])
        return machine

    def close(self):
        if self.user:
            self.as_user(["/usr/lib/wine/wineserver64", "-k"])

    def as_user(self, command):
        subprocess.run(["runuser", "-u", self.user, "--"] + command, env=self.env(),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)

    def command(self, exe, args):
        return [ARGS.wine, exe] + list(args)

    def program_path(self, native):
        drive_c = os.path.join(self.prefix, "drive_c")
        if native.startswith(drive_c):
            return "C:" + native[len(drive_c):].replace("/", "\\")
        return "Z:" + native.replace("/", "\\")

    def install(self, folder):
        return install(folder, ".exe")


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="korvane-e2e-")
        os.chmod(self.work, 0o755)
        self.m = Wine(self.work) if ARGS.windows else Native(self.work)
        self.addins = os.path.join(self.m.app_data, "Autodesk", "Revit", "Addins")
        shutil.rmtree(os.path.join(self.m.app_data, "Autodesk"), ignore_errors=True)
        # A folder with a blank in its name, where the program's defaults come from.
        self.setup = self.m.setup_folder()
        self.exe = self.m.install(self.setup)

    def tearDown(self):
        subprocess.run(["chmod", "-R", "u+w", self.work], check=False)
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(os.path.join(self.m.app_data, "Autodesk"), ignore_errors=True)
        shutil.rmtree(self.setup, ignore_errors=True)

    def tree(self, *folders):
        for f in folders:
            os.makedirs(os.path.join(self.addins, *f.split("/")), exist_ok=True)

    def manifest(self, folder):
        return read_manifest(os.path.join(self.addins, *folder.split("/"), NAME))

    def written(self):
        found = []
        for top, _, files in os.walk(self.addins):
            found += [os.path.relpath(os.path.join(top, f), self.addins) for f in files if f == NAME]
        return sorted(found)

    def run_program(self, *args, user=None):
        return self.m.run(self.exe, args, user=user)

    def run_unregister(self, *args):
        return self.m.run(self.exe.replace("korvane-register", "korvane-unregister"), args)

    def assert_status(self, got, code):
        self.assertEqual(got, STATUS[code], "expected exit code %d" % code)

    def defaults(self, version):
        return setup_manifest(self.m.program_path(self.setup), version)

    def test_no_argument_registers_every_version_folder_from_the_own_folder(self):
        self.tree("2022", "Vendor/2023", "2022/2021", "2020", "2027", ".hidden/2024", "2024.1")
        with open(os.path.join(self.addins, "2025"), "w") as f:
            f.write("a plain file")
        status, out = self.run_program()
        self.assert_status(status, 0)
        self.assertEqual(out, b"")
        self.assertEqual(self.written(), sorted(["2022/" + NAME, "Vendor/2023/" + NAME, "2022/2021/" + NAME]))
        for folder, version in (("2022", 2022), ("Vendor/2023", 2023), ("2022/2021", 2021)):
            self.assertEqual(self.manifest(folder), self.defaults(version))

    def test_one_argument_is_the_setup_folder(self):
        self.tree("2026")
        # No blank: Wine would quote it and double the trailing backslash.
        setup = "C:\\Korvane\\" if ARGS.windows else "/opt/Korvane/"
        status, _ = self.run_program(setup)
        self.assert_status(status, 0)
        # Taken verbatim, "/" and all.
        self.assertEqual(self.manifest("2026"), setup_manifest(setup, 2026))

    def test_one_argument_with_a_blank_and_a_trailing_backslash_is_taken_verbatim(self):
        self.tree("2023")
        if ARGS.windows:
            # As an installer writes it; Wine would double a POSIX caller's
            # trailing backslash, so the helper starts the program.
            setup = "C:\\Korvane Setup\\"
            line = os.path.join(self.work, "command-line")
            with open(line, "w", encoding="utf-8") as f:
                f.write('"%s" "%s"' % (self.m.program_path(self.exe), setup))
            status, _ = self.m.run(ARGS.helper, ["spawn", self.m.program_path(line)])
        else:
            setup = "/opt/Korvane Setup/"
            status, _ = self.run_program(setup)
        self.assert_status(status, 0)
        self.assertEqual(self.manifest("2023"), setup_manifest(setup, 2023))

    def test_four_arguments_with_non_ascii_and_xml_special_text(self):
        self.tree("2024", "2025")
        values = ["C:\\R&D\\K\u00f6rvane\\Kestrun.dll", "C:\\R&D\\i<c>on.png",
                  "Korvane \u00e9t\u00e9 \U0001F600", "Says a < b & 'c' &amp; \u4e2d\u6587"]
        status, _ = self.run_program(*values)
        self.assert_status(status, 0)
        for version in (2024, 2025):
            got = parsed_values(self.manifest(str(version)))
            meant = values[1:3] + ["Says a < b & 'c' & \u4e2d\u6587"]
            self.assertEqual(got, ["C:\\R&D\\K\u00f6rvane\\Kestrun%d.dll" % version] + meant)

    def test_bad_calls_end_with_minus_four_and_touch_nothing(self):
        self.tree("2022")
        for args in (["a", "b"], ["a", "b", "c"], ["a", "b", "c", "d", "e"], ["a", "", "b", "c"]):
            with self.subTest(args=args):
                status, out = self.run_program(*args)
                self.assert_status(status, -4)
                self.assertEqual(out, b"")
                self.assertEqual(self.written(), [])

    def test_missing_and_empty_root_end_with_minus_two(self):
        status, _ = self.run_program()
        self.assert_status(status, -2)
        self.tree("")
        status, _ = self.run_program()
        self.assert_status(status, -2)
        self.tree("Vendor/2019")
        status, _ = self.run_program()
        self.assert_status(status, -2)
        self.assertEqual(self.written(), [])

    def test_a_manifest_path_that_is_a_folder_gives_minus_one(self):
        self.tree("2021", "2022/" + NAME, "2023")
        status, _ = self.run_program()
        self.assert_status(status, -1)
        self.assertEqual(self.manifest("2021"), self.defaults(2021))
        self.assertEqual(self.manifest("2023"), self.defaults(2023))
        self.assertTrue(os.path.isdir(os.path.join(self.addins, "2022", NAME)))

    def test_links_back_into_the_tree_end_the_scan(self):
        self.tree("2021", "Vendor/2022", "Vendor/Deep")
        os.symlink("..", os.path.join(self.addins, "Vendor", "Back"))
        os.symlink(os.path.join(self.addins, "Vendor"), os.path.join(self.addins, "Vendor", "Deep", "Up"))
        status, _ = self.run_program()
        self.assert_status(status, 0)
        self.assertEqual(self.written(), sorted(["2021/" + NAME, "Vendor/2022/" + NAME]))
        self.assertEqual(self.manifest("2021"), self.defaults(2021))
        self.assertEqual(self.manifest("Vendor/2022"), self.defaults(2022))

    def test_an_old_longer_manifest_is_replaced_and_other_files_stay(self):
        self.tree("2022", "2023")
        with open(os.path.join(self.addins, "2022", NAME), "wb") as f:
            f.write(b"x" * 10000)
        with open(os.path.join(self.addins, "2022", "Other.addin"), "wb") as f:
            f.write(b"other")
        status, _ = self.run_program()
        self.assert_status(status, 0)
        self.assertEqual(self.manifest("2022"), self.defaults(2022))
        with open(os.path.join(self.addins, "2022", "Other.addin"), "rb") as f:
            self.assertEqual(f.read(), b"other")
        # The earlier files and the manifest, nothing else.
        self.assertEqual(sorted(os.listdir(os.path.join(self.addins, "2022"))), [NAME, "Other.addin"])
        self.assertEqual(os.listdir(os.path.join(self.addins, "2023")), [NAME])

    def test_a_full_disk_keeps_the_old_manifest_whole(self):
        if os.getuid() != 0:
            self.skipTest("needs root to mount a small file system")
        self.tree("2021", "2022", "2023")
        full = os.path.join(self.addins, "2022")
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", full], check=True)
        try:
            old = b"<an old manifest that works/>"
            with open(os.path.join(full, NAME), "wb") as f:
                f.write(old)
            try:
                with open(os.path.join(full, "filler"), "wb") as f:
                    while True:
                        f.write(b"\0" * 4096)
                        f.flush()
            except OSError:
                pass
            status, _ = self.run_program()
            self.assert_status(status, -1)
            with open(os.path.join(full, NAME), "rb") as f:
                self.assertEqual(f.read(), old)
            self.assertEqual(sorted(os.listdir(full)), [NAME, "filler"])
            self.assertEqual(self.manifest("2021"), self.defaults(2021))
            self.assertEqual(self.manifest("2023"), self.defaults(2023))
        finally:
            subprocess.run(["umount", full], check=True)

    def test_a_folder_name_that_is_no_utf8_leads_to_its_version_folders(self):
        if ARGS.windows:
            self.skipTest("a POSIX file name")
        strange = os.path.join(os.fsencode(self.addins), b"Vendor \xff\xfe", b"2024")
        os.makedirs(strange)
        status, _ = self.run_program()
        self.assert_status(status, 0)
        self.assertEqual(read_manifest(os.path.join(strange, NAME.encode())), self.defaults(2024))
        status, _ = self.run_unregister()
        self.assert_status(status, 0)
        self.assertEqual(os.listdir(strange), [])

    def test_the_host_is_seen_whoever_runs_it_and_after_its_file_is_removed(self):
        if ARGS.windows:
            self.skipTest("the POSIX process list")
        if os.getuid() != 0:
            self.skipTest("needs root to run the host as another user")
        user = test_user()
        self.tree("2022")
        host_dir = os.path.join(self.work, "Autodesk Revit")
        os.makedirs(host_dir)
        host = os.path.join(host_dir, "Revit.exe")
        shutil.copy(shutil.which("sleep"), host)
        process = subprocess.Popen([host, "60"])  # root's, not the user's
        try:
            subprocess.run(["chown", "-R", user, self.work], check=True)
            status, _ = self.run_program(user=user)
            self.assert_status(status, -3)
            os.remove(host)
            status, _ = self.run_program()
            self.assert_status(status, -3)
        finally:
            process.kill()
            process.wait()

    def test_a_read_only_manifest_is_left_unchanged(self):
        # Root may write a read-only file, so the program runs as another user.
        if os.getuid() != 0:
            self.skipTest("needs root to run the program as another user")
        user = test_user()
        m = self.m.for_user(user)
        try:
            addins = os.path.join(m.app_data, "Autodesk", "Revit", "Addins")
            for version in ("2021", "2022"):
                os.makedirs(os.path.join(addins, version), exist_ok=True)
            old = os.path.join(addins, "2022", NAME)
            with open(old, "wb") as f:
                f.write(b"old")
            setup = m.setup_folder()
            exe = m.install(setup)
            subprocess.run(["chown", "-R", user, self.work, m.app_data, setup], check=True)
            os.chmod(old, 0o444)
            status, _ = m.run(exe, [], user=user)
            self.assert_status(status, -1)
            with open(old, "rb") as f:
                self.assertEqual(f.read(), b"old")
            self.assertEqual(read_manifest(os.path.join(addins, "2021", NAME)),
                             setup_manifest(m.program_path(setup), 2021))
        finally:
            m.close()

    def hold(self, args, ready):
        """Starts a second process and waits until it is ready."""
        release = os.path.join(self.work, "release")
        process = self.m.start(args[0], args[1:] + [self.m.program_path(ready),
                                                   self.m.program_path(release)])
        for _ in range(600):
            if os.path.exists(ready) or process.poll() is not None:
                break
            time.sleep(0.05)
        self.assertTrue(os.path.exists(ready), "the second process did not start")

        def stop():
            open(release, "w").close()
            process.wait(timeout=60)
            os.remove(release)
        return stop

    def while_held(self, path, run):
        """Runs `run` while a second Windows process holds `path` open
        without sharing; returns its status."""
        stop = self.hold([ARGS.helper, "hold", self.m.program_path(path)],
                         os.path.join(self.work, "ready"))
        try:
            status, _ = run()
        finally:
            stop()
        return status

    def test_a_manifest_held_open_by_another_process_gives_minus_one(self):
        if not ARGS.windows:
            self.skipTest("POSIX has no share modes")
        self.tree("2021", "2022", "2023")
        held = os.path.join(self.addins, "2022", NAME)
        status = self.while_held(held, self.run_program)
        self.assert_status(status, -1)
        self.assertEqual(self.manifest("2021"), self.defaults(2021))
        self.assertEqual(self.manifest("2023"), self.defaults(2023))
        with open(held, "rb") as f:
            self.assertEqual(f.read(), b"")  # as the holder left it

    def test_unregister_takes_out_what_register_put_in(self):
        self.tree("2021", "Vendor/2022", "2022/2023", "Other/Deep/2026", ".hidden/2024", "2019")
        with open(os.path.join(self.addins, "2021", "Other.addin"), "wb") as f:
            f.write(b"another add-in")
        with open(os.path.join(self.addins, ".hidden", "2024", NAME), "wb") as f:
            f.write(b"in a hidden folder")
        with open(os.path.join(self.addins, "Vendor", NAME), "wb") as f:
            f.write(b"outside any version folder")
        os.makedirs(os.path.join(self.addins, "2025", NAME))
        before = snapshot(self.addins)
        status, _ = self.run_program()
        self.assert_status(status, -1)  # the folder named like the manifest
        self.assertEqual(len(self.written()), 5 + 2)  # five version folders, two left alone
        status, out = self.run_unregister()
        self.assert_status(status, 0)
        self.assertEqual(out, b"")
        self.assertEqual(snapshot(self.addins), before)
        status, _ = self.run_unregister()
        self.assert_status(status, 0)
        self.assertEqual(snapshot(self.addins), before)

    def test_unregister_without_version_folders_and_with_bad_calls(self):
        status, _ = self.run_unregister()
        self.assert_status(status, -2)
        self.tree("2022")
        self.run_program()
        for args in (["a"], ["a", "b"], ["C:\\Korvane"], ["a", "b", "c", "d"]):
            with self.subTest(args=args):
                status, out = self.run_unregister(*args)
                self.assert_status(status, -4)
                self.assertEqual(out, b"")
                self.assertEqual(self.written(), ["2022/" + NAME])

    def test_a_help_request_prints_the_usage_and_touches_nothing(self):
        self.tree("2022")
        self.run_program()
        manifest = self.manifest("2022")
        for run, name in ((self.run_program, b"korvane-register "), (self.run_unregister, b"korvane-unregister ")):
            for request in ("/?", "-?", "-h", "--help"):
                with self.subTest(program=name, request=request):
                    status, out = run(request)
                    self.assert_status(status, -4)
                    self.assertTrue(out.startswith(name), out)
                    self.assertIn(b"4294967293", out)
                    self.assertEqual(self.manifest("2022"), manifest)

    def test_a_manifest_held_open_is_not_removed_and_the_others_go(self):
        if not ARGS.windows:
            self.skipTest("POSIX has no share modes")
        self.tree("2021", "2022", "2023")
        self.run_program()
        held = os.path.join(self.addins, "2022", NAME)
        status = self.while_held(held, self.run_unregister)
        self.assert_status(status, -1)
        self.assertEqual(self.written(), ["2022/" + NAME])
        self.assertEqual(self.manifest("2022"), self.defaults(2022))

    def test_a_running_host_gives_minus_three_to_both_programs_then_zero_once_it_ends(self):
        self.tree("2022")
        host_dir = os.path.join(self.work, "Autodesk Revit")
        os.makedirs(host_dir)
        host = os.path.join(host_dir, "Revit.exe")
        if ARGS.windows:
            shutil.copy(ARGS.helper, host)
            stop = self.hold([host, "run"], os.path.join(self.work, "ready"))
        else:
            # The process list shows the executable's name, so the host is one.
            shutil.copy(shutil.which("sleep"), host)
            process = subprocess.Popen([host, "60"])
            stop = lambda: (process.kill(), process.wait())
        try:
            status, _ = self.run_program()
            self.assert_status(status, -3)
            self.assertEqual(self.manifest("2022"), self.defaults(2022))
            # The removal too: the host keeps the add-in until it restarts.
            status, _ = self.run_unregister()
            self.assert_status(status, -3)
            self.assertEqual(self.written(), [])
            # Nothing left to remove: nothing the host keeps.
            status, _ = self.run_unregister()
            self.assert_status(status, 0)
        finally:
            stop()
        status, _ = self.run_program()
        self.assert_status(status, 0)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--unregister", required=True)
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("--helper")
    parser.add_argument("--wine")
    ARGS, rest = parser.parse_known_args()
    ARGS.program = os.path.abspath(ARGS.program)
    ARGS.unregister = os.path.abspath(ARGS.unregister)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
