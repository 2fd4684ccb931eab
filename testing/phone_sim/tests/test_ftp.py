#!/usr/bin/python3
"""The agent's FTP server through the forwards of device ports 21210 and
21211, with curl as the program uses it (login 8:8, missing folders made on
upload, absolute download paths, DELE as a quote command)."""

import os
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

    def test_size_list_and_delete(self):
        size = self.sim.curl("-I", self.sim.ftp_url("/storage/sdcard0/Music/晴天.mp3"))
        self.assertIn(b"Content-Length: 4608", size.stdout)
        for mode in ("--ftp-pasv", "--disable-epsv"):   # EPSV, then PASV
            listing = self.sim.curl(mode, self.sim.ftp_url("sdcard/Music/"))
            self.assertIn("Morning Walk.mp3", listing.stdout.decode("utf-8"), mode)
        gone = "storage/sdcard0/Music/Morning Walk.mp3"
        done = self.sim.curl("-Q", "DELE sdcard/Music/Morning Walk.mp3", self.sim.ftp_url(""))
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.sim.root, gone)))
        missing = self.sim.curl("-o", self.local("none"), self.sim.ftp_url("sdcard/Music/none.mp3"))
        self.assertNotEqual(missing.returncode, 0)

    def test_wrong_login_is_refused(self):
        done = self.sim.curl("ftp://8:9@127.0.0.1:%d/" % self.sim.ftp_port)
        self.assertNotEqual(done.returncode, 0)


if __name__ == "__main__":
    unittest.main()
