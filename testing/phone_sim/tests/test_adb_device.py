#!/usr/bin/python3
"""The simulated phone seen through Debian's adb: devices, shell commands,
installs and the framebuffer through the adb server's smart socket."""

import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import unittest

from harness import PhoneSim, apk_dir, sample_apk, parse_reply
from phonesim import adb_host, framebuffer

MAKE_APK = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "make_apk.py")


class AdbDeviceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = PhoneSim()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def test_devices_lists_the_phone(self):
        out = self.sim.adb("devices").stdout
        # adb's own lists end in LF only
        self.assertIn("%s\tdevice\n" % self.sim.serial, out)
        self.assertIn("model:Z1_Sim", self.sim.adb("devices", "-l").stdout)

    def test_shell_commands(self):
        cases = [
            # shell output comes through a terminal: lines end in CR LF
            ("getprop ro.product.model", "Z1 Sim\r\n"),
            ("getprop ro.build.version.sdk", "19\r\n"),
            ("getprop no.such.prop", "\r\n"),
            ("pm uninstall com.zelvik.no.such", "Failure [DELETE_FAILED_INTERNAL_ERROR]\r\n"),
        ]
        for command, expected in cases:
            with self.subTest(command=command):
                self.assertEqual(self.sim.shell(command), expected)
        everything = self.sim.shell("getprop")
        self.assertIn("[ro.product.brand]: [Zelvik]\r\n", everything)
        listed = self.sim.shell("pm list package -3")
        self.assertIn("package:com.zelvik.assist\r\n", listed)
        self.assertIn("package:com.zelvik.demo.notes\r\n", listed)
        self.assertNotIn("com.android.settings", listed)
        dump = self.sim.shell('dumpsys package "com.zelvik.assist"')
        self.assertIn("versionCode=3 targetSdk=19\r\n", dump)
        self.assertNotIn("versionCode=", self.sim.shell("dumpsys package com.zelvik.no.such"))
        started = self.sim.shell("am start -n com.zelvik.assist/com.zelvik.assist.MainActivity")
        self.assertNotIn("Error", started)
        self.assertIn("Error type 3", self.sim.shell("am start -n com.zelvik.no/.Main"))

    def test_unknown_shell_command_is_logged(self):
        self.sim.control("clear-errors")
        self.assertIn("not found", self.sim.shell("frobnicate --now"))
        self.assertTrue(any("frobnicate" in e for e in self.sim.errors()))
        self.sim.control("clear-errors")

    def test_install_then_list_and_remove(self):
        apk = sample_apk()
        out = self.sim.adb("-s", self.sim.serial, "install", "-r", apk).stdout
        self.assertIn("Success", out)
        self.assertIn("package:com.zelvik.demo.sample\r\n", self.sim.shell("pm list package -3"))
        self.assertIn("versionCode=5 ", self.sim.shell("dumpsys package com.zelvik.demo.sample"))
        root, _ = parse_reply(self.sim.request("package_list"))
        apps = {a.get("packageName"): a for a in root.findall("app")}
        self.assertEqual(apps["com.zelvik.demo.sample"].get("appName"), "示例应用")
        self.assertEqual(apps["com.zelvik.demo.sample"].get("versionCode"), "5")
        _, icon = parse_reply(self.sim.request("package_icon", params='<packageName value="com.zelvik.demo.sample"/>'))
        self.assertTrue(icon.startswith(b"\x89PNG"))
        again = self.sim.adb("-s", self.sim.serial, "install", apk).stdout
        self.assertIn("Failure [INSTALL_FAILED_ALREADY_EXISTS]", again)
        self.assertIn("Success", self.sim.shell("pm uninstall com.zelvik.demo.sample"))
        self.assertNotIn("com.zelvik.demo.sample", self.sim.shell("pm list package -3"))
        # the pushed copy is removed by adb after the install
        self.assertEqual(os.listdir(os.path.join(self.sim.root, "data/local/tmp")), [])

    def test_built_agent_packages_match_the_phone(self):
        from phonesim.fixture import AGENT_OLD_VERSION_CODE, AGENT_VERSION_CODE
        from phonesim.packages import read_badging
        for name, code in (("com.zelvik.assist.apk", AGENT_VERSION_CODE),
                           ("com.zelvik.assist-v2.apk", AGENT_OLD_VERSION_CODE)):
            info = read_badging(os.path.join(apk_dir(), name))
            self.assertEqual((info["package"], info["versionCode"], info["label"]),
                             ("com.zelvik.assist", str(code), "Zelvik手游助手"))

    def test_install_needing_a_newer_sdk_is_refused(self):
        work = tempfile.mkdtemp(prefix="phonesim-sdk-test-")
        try:
            for min_sdk, expected in ((19, "Success"), (20, "Failure [INSTALL_FAILED_OLDER_SDK]")):
                with self.subTest(min_sdk=min_sdk):
                    apk = os.path.join(work, "sdk%d.apk" % min_sdk)
                    subprocess.run([sys.executable, MAKE_APK, "--package", "com.zelvik.demo.sdk%d" % min_sdk,
                                    "--version-code", "1", "--version-name", "1.0", "--label", "SDK",
                                    "--min-sdk", str(min_sdk), "--out", apk], check=True, timeout=60)
                    out = self.sim.adb("-s", self.sim.serial, "install", apk).stdout
                    self.assertIn(expected, out)
            self.assertNotIn("com.zelvik.demo.sdk20", self.sim.shell("pm list package -3"))
            self.assertIn("Success", self.sim.shell("pm uninstall com.zelvik.demo.sdk19"))
        finally:
            shutil.rmtree(work, ignore_errors=True)

    def test_install_older_agent_is_a_downgrade(self):
        old = os.path.join(apk_dir(), "com.zelvik.assist-v2.apk")
        out = self.sim.adb("-s", self.sim.serial, "install", "-r", old).stdout
        self.assertIn("Failure [INSTALL_FAILED_VERSION_DOWNGRADE]", out)

    def frame(self, nudge):
        """A screenshot as the program takes it, nudging with `nudge`: (header fields, pixels)."""
        def request(sock, text):
            # The program writes each request at the start of 256 zeroed bytes.
            sock.sendall(("%04x%s" % (len(text), text)).encode().ljust(256, b"\0"))

        def receive(sock, count):
            data = b""
            while len(data) < count:
                chunk = sock.recv(min(5120, count - len(data)))
                if not chunk:
                    break
                data += chunk
            return data

        with socket.create_connection(("127.0.0.1", self.sim.adb_port), timeout=10) as s:
            request(s, "host:transport:" + self.sim.serial)
            self.assertEqual(receive(s, 4), b"OKAY")
            request(s, "framebuffer:")
            self.assertEqual(receive(s, 4), b"OKAY")
            self.assertEqual(struct.unpack("<I", receive(s, 4))[0], 1)
            fields = struct.unpack("<12I", receive(s, 48))
            s.sendall(nudge)
            pixels = receive(s, fields[1])
            self.assertEqual(receive(s, 1), b"")   # nothing beyond the frame
        return fields, pixels

    def test_framebuffer_through_the_adb_server(self):
        self.sim.control("clear-errors")
        fields, pixels = self.frame(b"\0" * 256)
        self.assertEqual(fields, (32, 320 * 480 * 4, 320, 480, 0, 8, 16, 8, 8, 8, 24, 8))
        self.assertEqual(pixels, framebuffer.pixels())
        self.assertEqual(self.sim.errors(), [])
        # spot checks of the documented picture
        w = framebuffer.WIDTH
        self.assertEqual(pixels[0:4], bytes((0, 0, 0x80, 0xFF)))
        last = ((framebuffer.HEIGHT - 1) * w + (w - 1)) * 4
        self.assertEqual(pixels[last:last + 4], bytes((255, 255, 0x80, 0xFF)))

    def test_framebuffer_nudge_is_checked(self):
        for name, nudge in (("none", b""), ("short", b"\0" * 10), ("not zero", b"\1" * 256),
                            ("too long", b"\0" * 300)):
            with self.subTest(nudge=name):
                self.sim.control("clear-errors")
                _, pixels = self.frame(nudge)
                self.assertEqual(len(pixels), 320 * 480 * 4)
                errors = self.sim.errors()
                self.assertEqual(len(errors), 1, errors)
                self.assertIn("[framebuffer]", errors[0])
        self.sim.control("clear-errors")


class AdbServerStartTest(unittest.TestCase):
    """The private adb server when its port is taken by someone else."""

    def setUp(self):
        self.squatter = socket.socket()
        self.squatter.bind(("127.0.0.1", 0))
        self.squatter.listen()
        self.taken = self.squatter.getsockname()[1]

    def tearDown(self):
        self.squatter.close()

    def test_a_picked_port_taken_meanwhile_is_left_for_another(self):
        picks = [self.taken]
        original = adb_host._unused_port
        adb_host._unused_port = lambda: picks.pop() if picks else original()
        try:
            server = adb_host.AdbServer()
            server.start()
            try:
                self.assertNotEqual(server.port, self.taken)
                self.assertEqual(server.adb("devices").returncode, 0)
            finally:
                server.stop()
            self.assertEqual(server.proc.returncode, 0)   # stopped, not killed
        finally:
            adb_host._unused_port = original

    def test_a_given_port_that_is_taken_is_a_clear_error(self):
        server = adb_host.AdbServer(self.taken)
        try:
            with self.assertRaisesRegex(RuntimeError, "port %d: .*Address already in use" % self.taken):
                server.start()
        finally:
            server.stop()


if __name__ == "__main__":
    unittest.main()
