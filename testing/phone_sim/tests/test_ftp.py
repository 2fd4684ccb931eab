#!/usr/bin/python3
"""The agent's FTP server through the forwards of device ports 21210 and
21211, with curl as the program uses it (login 8:8, missing folders made on
upload, absolute download paths, DELE as a quote command); any other
command is refused and logged."""

import os
import socket
import tempfile
import unittest

from harness import PhoneSim, parse_reply


class FtpTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = PhoneSim()
        cls.tmp = tempfile.mkdtemp(prefix="phonesim-ftp-test-")

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        for name in os.listdir(cls.tmp):
            os.remove(os.path.join(cls.tmp, name))
        os.rmdir(cls.tmp)

    def local(self, name, data=None):
        path = os.path.join(self.tmp, name)
        if data is not None:
            with open(path, "wb") as f:
                f.write(data)
        return path

    def test_upload_lands_in_the_fixture_and_the_agent_adds_it(self):
        data = bytes(range(256)) * 1000
        src = self.local("歌.mp3", data)
        done = self.sim.curl("--ftp-create-dirs", "-T", src, self.sim.ftp_url("sdcard/Tamsil/Music/歌.mp3"))
        self.assertEqual(done.returncode, 0, done.stderr)
        landed = os.path.join(self.sim.root, "storage/sdcard0/Tamsil/Music/歌.mp3")
        with open(landed, "rb") as f:
            self.assertEqual(f.read(), data)
        root, _ = parse_reply(self.sim.request("music_add", "POST", '<file file="sdcard/Tamsil/Music/歌.mp3"/>'))
        music_id = root.find("m").get("id")
        root, _ = parse_reply(self.sim.request("music_info", params='<m id="%s"/>' % music_id))
        record = root.find("music")
        self.assertEqual(record.get("file"), "/storage/sdcard0/Tamsil/Music/歌.mp3")
        self.assertEqual(record.get("size"), str(len(data)))
        # the absolute path names the same file
        back = self.local("back.mp3")
        done = self.sim.curl("-o", back, self.sim.ftp_url("/storage/sdcard0/Tamsil/Music/歌.mp3"))
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(back, "rb") as f:
            self.assertEqual(f.read(), data)

    def test_image_upload_then_add_makes_a_thumbnail(self):
        with open(os.path.join(self.sim.root, "storage/sdcard0/DCIM/Camera/IMG_20260302_100000.jpg"), "rb") as f:
            jpeg = f.read()
        src = self.local("new.jpg", jpeg)
        self.assertEqual(self.sim.curl("--ftp-create-dirs", "-T", src,
                                       self.sim.ftp_url("sdcard/DCIM/Camera/new.jpg")).returncode, 0)
        root, _ = parse_reply(self.sim.request("image_add", "POST", '<file path="sdcard/DCIM/Camera/new.jpg"/>'))
        image_id = root.find("p").get("id")
        p = parse_reply(self.sim.request("image_info", params='<p id="%s"/>' % image_id))[0].find("p")
        self.assertEqual((p.get("width"), p.get("height")), ("64", "48"))
        thumb = self.local("thumb.jpg")
        self.assertEqual(self.sim.curl("-o", thumb, self.sim.ftp_url(p.get("thumb"))).returncode, 0)
        with open(thumb, "rb") as f:
            self.assertEqual(f.read(), jpeg)

    def test_both_passive_modes_and_delete(self):
        for mode in ("--ftp-pasv", "--disable-epsv"):   # EPSV, then PASV
            back = self.local("mode.mp3")
            done = self.sim.curl(mode, "-o", back, self.sim.ftp_url("sdcard/Music/晴天.mp3"))
            self.assertEqual(done.returncode, 0, mode)
            self.assertEqual(os.path.getsize(back), 4608, mode)
        gone = "storage/sdcard0/Music/Morning Walk.mp3"
        # as the program deletes: a quote command and no listing afterwards
        done = self.sim.curl("-I", "-Q", "DELE sdcard/Music/Morning Walk.mp3", self.sim.ftp_url(""))
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.sim.root, gone)))
        missing = self.sim.curl("-o", self.local("none"), self.sim.ftp_url("sdcard/Music/none.mp3"))
        self.assertNotEqual(missing.returncode, 0)
        self.assertEqual(self.sim.errors(), [])

    def test_cut_data_connection_ends_a_download_short(self):
        self.assertTrue(self.sim.control("fault ftpcut=1000").startswith("OK"))
        try:
            back = self.local("cut.mp3")
            done = self.sim.curl("-o", back, self.sim.ftp_url("sdcard/Music/晴天.mp3"))
            self.assertNotEqual(done.returncode, 0)
            self.assertLessEqual(os.path.getsize(back) if os.path.exists(back) else 0, 1000)
        finally:
            self.sim.control("clear ftpcut")
        done = self.sim.curl("-o", back, self.sim.ftp_url("sdcard/Music/晴天.mp3"))
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(os.path.getsize(back), 4608)
        self.assertEqual(self.sim.errors(), [])

    def test_commands_the_program_never_sends_are_refused_and_logged(self):
        self.sim.control("clear-errors")
        with socket.create_connection(("127.0.0.1", self.sim.ftp_port), timeout=15) as s:
            f = s.makefile("rwb")

            def say(line):
                f.write(line.encode("utf-8") + b"\r\n")
                f.flush()
                reply = f.readline()
                while reply[3:4] == b"-":   # a multi-line reply
                    reply = f.readline()
                return reply.decode("utf-8")

            self.assertTrue(f.readline().startswith(b"220"))
            self.assertTrue(say("USER 8").startswith("331"))
            self.assertTrue(say("PASS 8").startswith("230"))
            refused = ["LIST", "NLST", "MDTM sdcard/Music/晴天.mp3", "REST 0", "SYST", "FEAT",
                       "PORT 127,0,0,1,4,1", "EPRT |1|127.0.0.1|1025|", "RNFR sdcard/Music"]
            for line in refused:
                self.assertTrue(say(line).startswith("502"), line)
            self.assertTrue(say("PWD").startswith("257"))
            say("QUIT")
        self.assertEqual(self.sim.errors(), ["[ftp] unexpected command %r" % line for line in refused])
        self.sim.control("clear-errors")

    def test_wrong_login_is_refused(self):
        done = self.sim.curl("ftp://8:9@127.0.0.1:%d/" % self.sim.ftp_port)
        self.assertNotEqual(done.returncode, 0)


if __name__ == "__main__":
    unittest.main()
