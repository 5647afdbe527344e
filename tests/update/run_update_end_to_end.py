#!/usr/bin/env python3
"""Self-update of the installed demo from 1.0.0 to 1.0.1 in a fresh Wine prefix."""

import argparse
import glob
import os
import shutil
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "account"))
import run_service_tests as common  # noqa: E402

UPDATE_PORT = 47811  # the demo flavour's update origin
# The libraries the program loads on first use, planted beside the update helper.
PLANTED = ("winhttp", "ole32", "crypt32", "wintrust", "bcrypt", "api-ms-win-core-winrt-l1-1-0",
           "api-ms-win-core-winrt-string-l1-1-0")
# Wine prefers its own copies of system libraries wherever a DLL of that name lies; Windows takes
# the first one its search finds unless the library is one of its known DLLs, which these are
# not. Told to prefer a found copy, Wine searches the way Windows does.
SEARCHED_LIKE_WINDOWS = ("winhttp", "crypt32", "wintrust", "bcrypt")
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"


class Run:
    def __init__(self, args):
        self.build, self.workdir = os.path.abspath(args.build), os.path.abspath(args.workdir)
        self.shots = args.shots and os.path.abspath(args.shots)
        self.prefix = os.path.join(self.workdir, "prefix")
        self.passed = self.failed = 0
        self.environment = dict(os.environ, WINEPREFIX=self.prefix)
        self.environment.pop("DISPLAY", None)

    def check(self, condition, what):
        self.passed, self.failed = self.passed + bool(condition), self.failed + (not condition)
        print(("[update-e2e] ok: " if condition else "[update-e2e] FAILED: ") + what, flush=True)
        return condition

    def path(self, *parts):
        return os.path.join(self.build, *parts)

    def wine(self, *command, background=False):
        arguments = [os.path.join(ROOT, "tools", "wine-run.sh")] + list(command)
        if background:  # in the work folder, where the demo program writes its report
            return subprocess.Popen(arguments, env=self.environment, cwd=self.workdir,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return subprocess.run(arguments, env=self.environment, timeout=300,
                              capture_output=True, text=True, errors="replace")

    def wait_for_wine(self):
        try:
            subprocess.run([WINESERVER, "-w"], env=self.environment, timeout=120)
        except subprocess.TimeoutExpired:
            subprocess.run([WINESERVER, "-k"], env=self.environment)

    def registration(self):
        result = self.wine("reg", "query", r"HKCU\Software\Tervane\Tervane Connect")
        parts = (line.strip().split(None, 2) for line in result.stdout.splitlines())
        return {p[0]: p[2] for p in parts if len(p) == 3 and p[1].startswith("REG_")}

    def temp_files(self, pattern=""):
        # Wine's TEMP is C:\users\<name>\Temp; Windows' own place is under AppData.
        return sorted(name for folder in (("Temp",), ("AppData", "Local", "Temp"))
                      for name in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*",
                                                         *folder, pattern)))

    def walkthrough(self, scenario, *extra):
        shots = os.path.join(self.workdir, "shots", scenario)
        os.makedirs(shots, exist_ok=True)
        program = self.wine(self.registration().get("InstallPath", "") + "\\TervaneConnect.exe",
                            background=True)
        result = self.wine(self.path("tools", "demo", "update_walkthrough.exe"),
                           common.windows_path(shots), scenario, *extra)
        print(result.stdout.replace("\r", ""), end="", flush=True)
        try:
            program.wait(timeout=60)
        except subprocess.TimeoutExpired:
            program.kill()
        self.wait_for_wine()
        if self.shots:
            os.makedirs(self.shots, exist_ok=True)
            for bmp in sorted(glob.glob(os.path.join(shots, "*.bmp"))):
                name = "%s-%s.png" % (scenario, os.path.splitext(os.path.basename(bmp))[0])
                subprocess.run(["convert", bmp, os.path.join(self.shots, name)])
        return result.returncode

    def install(self, setup):
        result = self.wine(setup, "/SILENT", "/CURRENTUSER")
        self.wait_for_wine()
        return result.returncode

    def main(self):
        shutil.rmtree(self.workdir, ignore_errors=True)
        os.makedirs(self.workdir)
        setup_old = self.path("installer", "TervaneConnectDemoSetup-1.0.0.exe")
        setup_new = self.path("installer", "TervaneConnectDemoSetup-1.0.1.exe")
        fixtures = self.path("tests", "update", "update-fixtures")
        replacement = os.path.join(fixtures, "fake_installer_other.exe")
        planted = os.path.join(fixtures, "planted.dll")
        missing = [n for n in (setup_old, setup_new, replacement, planted)
                   if not os.path.exists(n)]
        if missing:
            print("missing %s (build the windows preset first)" % missing)
            return 1

        subprocess.run([os.path.join(ROOT, "tools", "xvfb-start.sh"), self.prefix], check=True)
        service = None
        try:
            subprocess.run([os.path.join(ROOT, "tools", "wine-prefix-init.sh"), self.prefix],
                           env=self.environment, check=True, timeout=300,
                           stdout=subprocess.DEVNULL)
            # No window manager on Xvfb: Wine draws the title bars itself.
            self.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N",
                      "/f")
            ca_der, tls = common.make_server(self.workdir, "update",
                                             "Tervane Update Test Authority")
            trusted = self.wine(self.path("tools", "demo", "trust_test_authority.exe"),
                                common.windows_path(ca_der))
            if not self.check(trusted.returncode == 0, "test authority trusted in this prefix"):
                return 1
            service = common.StandIn(
                os.path.join(ROOT, "tools", "standin", "update_service.py"), self.workdir,
                "update-service", [], ["--port", str(UPDATE_PORT)] + tls +
                ["--publish", "installer:1.0.1:" + setup_new])

            self.check(self.install(setup_old) == 0, "1.0.0 installed per user")
            before = self.registration()
            self.check(before.get("Version") == "1.0.0", "1.0.0 registered %s" % before)

            for folder in filter(os.path.isdir, self.temp_files()):
                for name in PLANTED:
                    shutil.copyfile(planted, os.path.join(folder, name + ".dll"))
            overrides = self.environment.get("WINEDLLOVERRIDES",
                                             "mscoree=;mshtml=;winemenubuilder.exe=d")
            self.environment["WINEDLLOVERRIDES"] = overrides + "".join(
                ";%s=n,b" % name for name in SEARCHED_LIKE_WINDOWS)
            self.check(len(self.temp_files("*.dll")) >= len(PLANTED),
                       "DLLs planted in the temporary folder")
            # The verified installer is replaced before the helper runs it.
            self.check(self.walkthrough("swap", common.windows_path(replacement)) == 0,
                       "swapped installer refused, old program back")
            self.check(not self.temp_files("OVC*.exe"), "no installer left after the swap")
            self.check(self.registration().get("Version") == "1.0.0", "1.0.0 still installed")

            self.check(self.walkthrough("update") == 0, "program came back as 1.0.1")
            after = self.registration()
            self.check(after.get("Version") == "1.0.1" and after.get("InstallMode") ==
                       "currentuser" and after.get("InstallPath") == before.get("InstallPath"),
                       "1.0.1 registered in the folder of 1.0.0 %s" % after)
            self.check(not self.temp_files("OVC*.exe"), "the installer was deleted after it ran")
            self.check(not self.temp_files("*.dll.loaded"),
                       "no planted DLL was loaded %s" % self.temp_files("*.dll.loaded"))
            self.environment["WINEDLLOVERRIDES"] = overrides
            # The installer's own rules, as far as Wine (which runs as administrator) shows them.
            with open(setup_new, "rb") as setup:
                self.check(b'requestedExecutionLevel level="asInvoker"' in setup.read(),
                           "the installer asks for no elevation of its own")
            self.check(self.install(setup_old) == 2 and self.registration().get("Version") ==
                       "1.0.1", "the older installer refuses to replace 1.0.1")
            with open(service.log_file, encoding="utf-8") as log:
                downloads = [line for line in log if "/app/windows/installer/download/" in line]
            self.check(len(downloads) == 2, "two downloads of the published installer")
        finally:
            if service is not None:
                service.stop()
            subprocess.run([WINESERVER, "-k"], env=self.environment)
            subprocess.run([os.path.join(ROOT, "tools", "xvfb-stop.sh"), self.prefix])
        print("%d passed, %d failed" % (self.passed, self.failed), flush=True)
        return 0 if self.failed == 0 else 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--shots")
    return Run(parser.parse_args()).main()


if __name__ == "__main__":
    sys.exit(main())
