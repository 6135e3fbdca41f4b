#!/usr/bin/env python3
"""Builds each installer recipe of installers/ with its own engine and runs
it under Wine, each in a fresh prefix: install and uninstall, against an
add-in tree.

  installers.py --built build/windows --helper build/windows/tests/test_helper.exe \
                --iscc build/tools/node_modules/innosetup-compiler/bin/ISCC.exe
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

import e2e

ARGS = None
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
RECIPES = os.path.join(SOURCE, "installers")
WINE = "/usr/lib/wine/wine64"
NAME = "ExportToKorvane.addin"


class Recipe:
    """One installer recipe in a prefix of its own. Subclasses build it,
    install and uninstall; each returns (status, output)."""
    prefix = None

    @classmethod
    def boot(cls, work):
        cls.work = work
        cls.prefix = os.path.join(work, "prefix")
        os.mkdir(cls.prefix)
        cls.wine([WINE, "wineboot", "-i"])
        cls.user = pwd.getpwuid(os.getuid()).pw_name
        cls.drive_c = os.path.join(cls.prefix, "drive_c")
        cls.app_data = os.path.join(cls.drive_c, "users", cls.user, "AppData", "Roaming")
        # The files a vendor ships: both programs, the add-in, and the wrappers.
        cls.stage = os.path.join(work, "stage")
        os.mkdir(cls.stage)
        for exe in ("korvane-register.exe", "korvane-unregister.exe"):
            shutil.copy(os.path.join(ARGS.built, exe), cls.stage)
        for name in ("korvane-register.cmd", "korvane-unregister.cmd"):
            shutil.copy(os.path.join(RECIPES, "cmd", name), cls.stage)
        with open(os.path.join(cls.stage, "Kestrun.dll"), "wb") as f:
            f.write(b"MZ the add-in")
        with open(os.path.join(cls.stage, "export.png"), "wb") as f:
            f.write(b"\x89PNG the button")
        cls.build()

    @classmethod
    def env(cls):
        return dict(os.environ, WINEPREFIX=cls.prefix, WINEDEBUG="-all")

    @classmethod
    def wine(cls, command, cwd=None):
        done = subprocess.run(command, env=cls.env(), cwd=cwd, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=300)
        return done.returncode, done.stdout.decode("utf-8", "replace")

    @classmethod
    def shut_down(cls):
        subprocess.run(["/usr/lib/wine/wineserver64", "-k"], env=cls.env(), check=False)

    @classmethod
    def windows_path(cls, native):
        if native.startswith(cls.drive_c):
            return "C:" + native[len(cls.drive_c):].replace("/", "\\")
        return "Z:" + native.replace("/", "\\")

    @classmethod
    def install_folder(cls):
        return "C:\\users\\%s\\AppData\\Local\\Programs\\Korvane" % cls.user

    @classmethod
    def native_path(cls, windows):
        """A path below C: as the host system names it."""
        return os.path.join(cls.drive_c, *windows[len("C:\\"):].split("\\"))


class Nsis(Recipe):
    @classmethod
    def build(cls):
        subprocess.run(["makensis", "-V2", "-DKORVANE_FILES=" + cls.stage,
                        "-DOUTFILE=" + os.path.join(cls.work, "korvane-setup.exe"),
                        os.path.join(RECIPES, "nsis", "korvane.nsi")], check=True)

    def install(self):
        return self.wine([WINE, os.path.join(self.work, "korvane-setup.exe"), "/S"])

    def uninstall(self):
        # _?= runs the uninstaller in place, so that it is waited for.
        folder = self.install_folder()
        return self.wine([WINE, folder + "\\uninstall.exe", "/S", "_?=" + folder])


class Msi(Recipe):
    @classmethod
    def build(cls):
        subprocess.run(["wixl", "-a", "x64", "-D", "KorvaneFiles=.", "-o", os.path.join(cls.work, "korvane.msi"),
                        os.path.join(RECIPES, "msi", "korvane.wxs")], cwd=cls.stage, check=True,
                       stderr=subprocess.DEVNULL)
        # wixl drops some action types without a word: both actions must be there.
        table = subprocess.run(["msiinfo", "export", os.path.join(cls.work, "korvane.msi"), "CustomAction"],
                               stdout=subprocess.PIPE, check=True).stdout.decode()
        assert "RegisterKorvane\t50\t" in table and "UnregisterKorvane\t50\t" in table, table

    def msiexec(self, verb):
        return self.wine([WINE, "msiexec", verb, self.windows_path(os.path.join(self.work, "korvane.msi")), "/qn"])

    def install(self):
        return self.msiexec("/i")

    def uninstall(self):
        return self.msiexec("/x")


class Inno(Recipe):
    @classmethod
    def build(cls):
        # Setup creates a window even when silent: give Wine a graphics
        # driver that needs no display, before any program of the prefix runs.
        cls.wine([WINE, "reg", "add", "HKCU\\Software\\Wine\\Drivers", "/v", "Graphics", "/d", "null", "/f"])
        cls.shut_down()
        # The compiler is a 32-bit Windows program: Debian's wine32 runs it.
        status, output = cls.wine(["wine", ARGS.iscc, "/Q", "/DKorvaneFiles=" + cls.windows_path(cls.stage),
                                   "/O" + cls.windows_path(cls.work),
                                   cls.windows_path(os.path.join(RECIPES, "inno", "korvane.iss"))])
        assert status == 0, output

    def install(self):
        return self.wine(["wine", os.path.join(self.work, "korvane-setup.exe"),
                          "/VERYSILENT", "/SUPPRESSMSGBOXES", "/NORESTART"])

    def uninstall(self):
        # Inno numbers its uninstallers; the newest is this installation's.
        folder = self.native_path(self.install_folder())
        found = sorted((os.path.getmtime(os.path.join(folder, n)), n) for n in os.listdir(folder)
                       if n.startswith("unins") and n.endswith(".exe"))
        return self.wine(["wine", os.path.join(folder, found[-1][1]), "/VERYSILENT", "/SUPPRESSMSGBOXES"])


class Script(Recipe):
    """The scripts for deployment tools and logon scripts: copied beside the
    programs, as an administrator puts them on a share."""
    @classmethod
    def build(cls):
        cls.folder = os.path.join(cls.drive_c, "Korvane")
        shutil.copytree(cls.stage, cls.folder)
        shutil.copy(os.path.join(RECIPES, "vbscript", "korvane-logon.vbs"), cls.folder)

    @classmethod
    def install_folder(cls):
        return "C:\\Korvane"


class Cmd(Script):
    def install(self):
        return self.wine([WINE, "cmd", "/c", "C:\\Korvane\\korvane-register.cmd"])

    def uninstall(self):
        return self.wine([WINE, "cmd", "/c", "C:\\Korvane\\korvane-unregister.cmd"])


class VbScript(Script):
    def install(self):
        return self.wine([WINE, "cscript", "//nologo", "C:\\Korvane\\korvane-logon.vbs"])

    def uninstall(self):
        return self.wine([WINE, "cscript", "//nologo", "C:\\Korvane\\korvane-logon.vbs", "/remove"])


class Scenarios:
    """What every recipe must do; mixed into one test case per recipe."""
    says = True  # whether the recipe's output can be read

    @classmethod
    def setUpClass(cls):
        cls.boot(tempfile.mkdtemp(prefix="korvane-installer-"))

    @classmethod
    def tearDownClass(cls):
        cls.shut_down()
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.addins = os.path.join(self.app_data, "Autodesk", "Revit", "Addins")
        shutil.rmtree(os.path.join(self.app_data, "Autodesk"), ignore_errors=True)

    def tree(self, *folders):
        for f in folders:
            os.makedirs(os.path.join(self.addins, *f.split("/")), exist_ok=True)

    def manifests(self):
        return {path: data for path, data in e2e.snapshot(self.addins).items()
                if os.path.basename(path) == NAME and data is not None}

    def assert_says(self, output, words):
        if self.says:
            self.assertIn(words, output)

    def test_install_registers_every_version_folder_and_uninstall_takes_it_out(self):
        self.tree("2022", "Vendor/2024", "2019")
        with open(os.path.join(self.addins, "2022", "Other.addin"), "wb") as f:
            f.write(b"another add-in")
        before = e2e.snapshot(self.addins)
        status, output = self.install()
        self.assertEqual(status, 0, output)
        self.assertEqual(self.manifests(), {
            os.path.join("2022", NAME): e2e.setup_manifest(self.install_folder(), 2022),
            os.path.join("Vendor", "2024", NAME): e2e.setup_manifest(self.install_folder(), 2024)})
        self.assert_says(output, "registered")
        status, output = self.uninstall()
        self.assertEqual(status, 0, output)
        self.assertEqual(e2e.snapshot(self.addins), before)

    def test_no_revit_for_this_user_lets_the_install_go_on(self):
        status, output = self.install()
        self.assertEqual(status, 0, output)
        self.assert_says(output, "no Revit 2021 to 2026")
        self.assertFalse(os.path.exists(self.addins))
        status, output = self.uninstall()
        self.assertEqual(status, 0, output)

    def test_a_running_host_lets_the_install_go_on_and_says_so(self):
        self.tree("2023")
        host = os.path.join(self.drive_c, "Revit", "Revit.exe")
        os.makedirs(os.path.dirname(host), exist_ok=True)
        shutil.copy(ARGS.helper, host)
        ready = os.path.join(self.work, "ready")
        release = os.path.join(self.work, "release")
        process = subprocess.Popen([WINE, host, "run", self.windows_path(ready), self.windows_path(release)],
                                   env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(600):
                if os.path.exists(ready):
                    break
                time.sleep(0.05)
            self.assertTrue(os.path.exists(ready), "the host did not start")
            status, output = self.install()
            self.assertEqual(status, 0, output)
            self.assert_says(output, "Restart Revit")
            self.assertEqual(list(self.manifests()), [os.path.join("2023", NAME)])
            status, output = self.uninstall()
            self.assertEqual(status, 0, output)
            self.assert_says(output, "Restart Revit")
            self.assertEqual(self.manifests(), {})
        finally:
            open(release, "w").close()
            process.wait(timeout=60)
            os.remove(release)
            os.remove(ready)

    def test_a_manifest_that_cannot_be_written_fails_the_install(self):
        self.tree("2021", "2023/" + NAME)
        status, output = self.install()
        self.assertNotEqual(status, 0, output)
        self.assert_says(output, "could not be registered (exit code -1)")
        self.assertTrue(os.path.isdir(os.path.join(self.addins, "2023", NAME)))
        # Clean up for the next scenario, whatever the engine left.
        shutil.rmtree(os.path.join(self.addins, "2023", NAME))
        self.uninstall()


class NsisInstaller(Scenarios, Nsis, unittest.TestCase):
    says = False  # a silent NSIS installer shows nothing


class InnoSetupInstaller(Scenarios, Inno, unittest.TestCase):
    says = False  # a very silent Inno Setup installer shows nothing


class MsiPackage(Scenarios, Msi, unittest.TestCase):
    pass  # msiexec passes the wrapper's output through


class CmdScripts(Scenarios, Cmd, unittest.TestCase):
    pass


class VbLogonScript(Scenarios, VbScript, unittest.TestCase):
    pass


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--built", required=True)
    parser.add_argument("--helper", required=True)
    parser.add_argument("--iscc", required=True, help="the Inno Setup compiler, ISCC.exe")
    ARGS, rest = parser.parse_known_args()
    ARGS.built = os.path.abspath(ARGS.built)
    ARGS.helper = os.path.abspath(ARGS.helper)
    ARGS.iscc = os.path.abspath(ARGS.iscc)
    if not os.path.exists(ARGS.iscc):
        sys.exit("no Inno Setup compiler at %s: bash scripts/install-deps.sh installs it" % ARGS.iscc)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
