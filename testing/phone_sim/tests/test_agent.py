#!/usr/bin/python3
"""The agent's command protocol through `adb forward tcp:X tcp:21220`."""

import unittest

from harness import PhoneSim, parse_reply


class AgentTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = PhoneSim()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def setUp(self):
        self.sim.control("clear-errors")

    def call(self, command, method="GET", params="", result="1"):
        root, tail = parse_reply(self.sim.request(command, method, params))
        self.assertEqual(root.tag, "response")
        self.assertEqual(root.get("result"), result, "%s: %r" % (command, root.attrib))
        return root

    def test_one_command_per_family(self):
        self.call("connect")
        apps = {a.get("packageName"): a.attrib for a in self.call("package_list").findall("app")}
        self.assertEqual(apps["com.android.settings"]["appType"], "0")
        self.assertEqual(apps["com.zelvik.demo.weather"]["appName"], "天气预报")
        self.assertEqual(set(apps["com.zelvik.assist"]), {"appType", "packageName", "appName", "appSize",
                                                         "versionCode", "versionName", "packageStore"})
        self.assertEqual(self.call("package_count").find("count").get("value"), "3")
        names = [c.get("n") for c in self.call("contact_list").findall("c")]
        self.assertIn("张三", names)
        phone = self.call("environment").find("phone")
        self.assertEqual(phone.get("sdRootPath"), "/storage/sdcard0")
        self.assertEqual(self.call("storagesize_info").find("phone").get("sdStorageSize"), "15938355200")
        sms = self.call("sms_list").findall("sms")
        self.assertEqual({s.get("type") for s in sms}, {"1", "2", "3"})
        self.assertIn("\r\n", sms[1].get("body"))
        music = self.call("music_list").findall("music")
        self.assertEqual(music[0].get("file"), "/storage/sdcard0/Music/晴天.mp3")
        video = self.call("video_info", params='<v id="1"/><v id="2"/>').findall("video")
        self.assertEqual([v.get("id") for v in video], ["1", "2"])
        pic = self.call("image_info", params='<p id="1"/>').find("p")
        self.assertEqual((pic.get("width"), pic.get("height"), pic.get("bucket")), ("64", "48", "Camera"))
        for kind in ("contact", "sms", "music", "video", "image"):
            self.assertTrue(self.call(kind + "_count").find("count").get("value").isdigit())
        self.assertEqual(self.sim.errors(), [])

    def test_contact_add_edit_delete(self):
        added = self.call("contact_add", "POST",
                          '<contact name="赵六"><group rawid="2"/>'
                          '<phone number="13511112222" type="2" label=""/>'
                          '<im data="zl" type="3" label="" protocol="4" custom_protocol=""/></contact>')
        cid = added.find("contact").get("id")
        info = self.call("contact_info", params='<contact id="%s"/>' % cid).find("contact")
        phone_row = info.find("phone").get("_id")
        self.call("contact_edit", "POST",
                  '<contact id="%s" name="赵六六">'
                  '<phone number="13599998888" type="2" label="" _id="%s" status="2"/>'
                  '<email address="zl@example.com" type="1" label="" status="1"/></contact>'
                  % (cid, phone_row))
        info = self.call("contact_info", params='<contact id="%s"/>' % cid).find("contact")
        self.assertEqual(info.get("name"), "赵六六")
        self.assertEqual(info.find("phone").get("number"), "13599998888")
        self.assertEqual(info.find("email").get("address"), "zl@example.com")
        self.call("contact_del", "POST", '<contact id="%s"/>' % cid)
        self.call("contact_info", params='<contact id="%s"/>' % cid, result="0")

    def test_sms_read_and_delete(self):
        self.call("sms_read", "POST", '<sms id="3"/>')
        read = {s.get("id"): s.get("read") for s in self.call("sms_list").findall("sms")}
        self.assertEqual(read["3"], "1")
        self.call("sms_del", "POST", '<sms id="6" thread="3"/>')
        self.call("sms_del", "POST", '<sms id="5" thread="1"/>', result="0")
        self.call("sms_del_thread", params='<thread id="3"/>')
        threads = {s.get("thread") for s in self.call("sms_list").findall("sms")}
        self.assertNotIn("3", threads)

    def test_strict_requests_get_an_error_and_a_log_line(self):
        cases = [
            ("unknown id", b'<request ver="1" method="GET"><cmd id="contact_frob"/></request>'),
            ("missing child", b'<request ver="1" method="GET"><cmd id="contact_info"/></request>'),
            ("wrong child", b'<request ver="1" method="GET"><cmd id="contact_info"><sms id="1"/></cmd></request>'),
            ("unknown attribute", b'<request ver="1" method="GET"><cmd id="music_del"><m id="1" x="2"/></cmd></request>'),
            ("wrong method", b'<request ver="1" method="GET"><cmd id="image_del"><p id="1"/></cmd></request>'),
            ("not a number", b'<request ver="1" method="GET"><cmd id="music_del"><m id="one"/></cmd></request>'),
            ("malformed", b'<request ver="1" method="GET"><cmd id="connect"></request>'),
            ("wrong root", b'<req ver="1" method="GET"><cmd id="connect"/></req>'),
            ("edit without status", b'<request ver="1" method="POST"><cmd id="contact_edit">'
                                    b'<contact id="1" name="x"><phone number="1" type="2" label="" _id="1101"/>'
                                    b'</contact></cmd></request>'),
        ]
        for name, raw in cases:
            with self.subTest(case=name):
                self.sim.control("clear-errors")
                root, _ = parse_reply(self.sim.exchange(raw))
                self.assertEqual(root.get("result"), "0")
                self.assertEqual(len(self.sim.errors()), 1)
        self.sim.control("clear-errors")

    def test_keep_alive_and_empty_connections(self):
        self.sim.control("clear-errors")
        self.assertEqual(self.sim.exchange(b"sever alive on:123456\0"), b"")
        self.assertEqual(self.sim.exchange(b""), b"")
        self.call("connect")
        self.assertEqual(self.sim.errors(), [])

    def test_keep_alive_text_is_checked_whole(self):
        for raw in (b"sever alive on:12x4\0", b"sever alive on:\0", b"sever alive on:123456",
                    b"sever alive on:123456\0\0", b"sever alive on:-5\0"):
            with self.subTest(raw=raw):
                self.sim.control("clear-errors")
                self.assertEqual(self.sim.exchange(raw), b"")
                errors = self.sim.errors()
                self.assertEqual(len(errors), 1, errors)
                self.assertIn("malformed keep-alive", errors[0])
        self.sim.control("clear-errors")


if __name__ == "__main__":
    unittest.main()
