#!/usr/bin/python3
"""Fault modes, switched through the control channel and by flags."""

import concurrent.futures
import os
import unittest

from harness import PhoneSim, apk_dir, sample_apk, parse_reply, wait_until
from phonesim.faults import INSTALL_FAILURES


CLI_FAULT = "result0@sms_list"


class AgentFaultTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = PhoneSim("--fault", CLI_FAULT)

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def tearDown(self):
        # back to the state the command line set up
        self.sim.control("clear")
        self.sim.control("fault " + CLI_FAULT)
        self.sim.control("agent current")

    def test_fault_from_the_command_line_hits_only_its_command(self):
        self.assertEqual(parse_reply(self.sim.request("sms_list"))[0].get("result"), "0")
        self.assertEqual(parse_reply(self.sim.request("sms_count"))[0].get("result"), "1")

    def test_reply_faults(self):
        self.assertTrue(self.sim.control("fault wrongroot@connect").startswith("OK"))
        self.assertEqual(parse_reply(self.sim.request("connect"))[0].tag, "reply")
        self.sim.control("clear")
        self.sim.control("fault exact512")
        self.assertEqual(len(self.sim.request("connect")), 512)
        self.sim.control("clear")
        self.sim.control("fault split=3")
        whole = self.sim.request("contact_list")
        self.assertEqual(parse_reply(whole)[0].get("result"), "1")
        self.sim.control("clear")
        self.sim.control("fault slow=300@connect")
        self.assertEqual(parse_reply(self.sim.request("connect"))[0].get("result"), "1")
        self.sim.control("clear")
        self.sim.control("fault close@connect")
        self.assertEqual(self.sim.request("connect"), b"")

    def test_refused_agent(self):
        self.sim.control("fault refuse")
        self.assertEqual(self.sim.exchange(b'<request ver="1" method="GET"><cmd id="connect"/></request>'), b"")

    def test_bad_fault_is_rejected(self):
        self.assertTrue(self.sim.control("fault melt").startswith("ERR"))
        self.assertTrue(self.sim.control("fault offline@connect").startswith("ERR"))

    def test_agent_not_installed_then_installed_and_started(self):
        self.sim.control("agent none")
        self.assertEqual(self.sim.request("connect"), b"")
        self.assertNotIn("com.zelvik.assist", self.sim.shell("pm list package -3"))
        apk = os.path.join(apk_dir(), "com.zelvik.assist.apk")
        self.assertIn("Success", self.sim.adb("-s", self.sim.serial, "install", "-r", apk).stdout)
        self.assertEqual(self.sim.request("connect"), b"")   # installed, not started yet
        self.sim.shell("am start -n com.zelvik.assist/com.zelvik.assist.MainActivity")
        self.assertEqual(parse_reply(self.sim.request("connect"))[0].get("result"), "1")

    def test_old_agent_upgraded_by_install(self):
        self.sim.control("agent old")
        self.assertIn("versionCode=2 ", self.sim.shell("dumpsys package com.zelvik.assist"))
        self.assertEqual(parse_reply(self.sim.request("connect"))[0].get("result"), "1")
        apk = os.path.join(apk_dir(), "com.zelvik.assist.apk")
        self.assertIn("Success", self.sim.adb("-s", self.sim.serial, "install", "-r", apk).stdout)
        self.assertIn("versionCode=3 ", self.sim.shell("dumpsys package com.zelvik.assist"))
        self.assertEqual(self.sim.request("connect"), b"")   # replaced: stopped until started
        self.sim.shell("am start -n com.zelvik.assist/com.zelvik.assist.MainActivity")
        self.assertEqual(parse_reply(self.sim.request("connect"))[0].get("result"), "1")


class DeviceFaultTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = PhoneSim()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def tearDown(self):
        self.sim.control("clear")

    def test_each_install_failure_text(self):
        apk = sample_apk()
        for failure in INSTALL_FAILURES:
            with self.subTest(failure=failure):
                self.sim.control("fault install=" + failure)
                result = self.sim.adb("-s", self.sim.serial, "install", "-r", apk)
                text = result.stdout + result.stderr
                if failure == "NO_SPACE":
                    self.assertIn("No space left on device", text)
                else:
                    self.assertIn("Failure [%s]" % failure, text)
        self.assertNotIn("com.zelvik.demo.sample", self.sim.shell("pm list package -3"))

    def test_an_install_held_until_the_fault_is_cleared(self):
        apk = sample_apk()
        self.sim.control("fault installhold")
        with concurrent.futures.ThreadPoolExecutor(1) as pool:
            install = pool.submit(self.sim.adb, "-s", self.sim.serial, "install", "-r", apk)
            self.assertTrue(wait_until(lambda: self.sim.control("held") == "OK 1"), self.sim.control("held"))
            self.assertFalse(install.done())
            self.assertNotIn("com.zelvik.demo.sample", self.sim.shell("pm list package -3"))
            self.sim.control("clear installhold")
            self.assertIn("Success", install.result(timeout=60).stdout)
        self.assertEqual(self.sim.control("held"), "OK 0")
        self.assertIn("com.zelvik.demo.sample", self.sim.shell("pm list package -3"))
        self.sim.adb("-s", self.sim.serial, "uninstall", "com.zelvik.demo.sample")

    def test_device_goes_offline_and_comes_back(self):
        self.sim.control("fault offline")
        state = wait_until(lambda: self.sim.adb("devices").stdout.count(self.sim.serial + "\tdevice") == 0)
        self.assertTrue(state, self.sim.adb("devices").stdout)
        self.sim.control("clear offline")
        self.sim.adb("connect", self.sim.serial)
        self.assertTrue(wait_until(lambda: (self.sim.serial + "\tdevice") in self.sim.adb("devices").stdout))
        self.assertEqual(self.sim.shell("getprop ro.product.model"), "Z1 Sim\r\n")


if __name__ == "__main__":
    unittest.main()
