"""The fixture phone: its properties, apps, contacts, SMS, media and files.

All content lives in one `FixturePhone`; its `lock` (an RLock) guards every
record and the files under the virtual root, so the agent's commands, the
shell's package manager and the FTP server may run on any thread.

A large phone (`FixturePhone(..., large=n)`) holds generated content in
place of the small fixture's contacts, SMS and media: n contacts with two
numbers each, 3n messages in n/5 conversations, n pictures (a month of
pictures for every 100 or so), 0.8n music files and n/10 videos. Records
are found by id through an index beside each list (`find`), so asking for
one record costs the same on a large phone as on a small one.

The virtual root (a folder on disk) holds what the phone's storage holds:
  <root>/storage/sdcard0/...   the memory card (sdRootPath)
  <root>/sdcard -> storage/sdcard0   so relative "sdcard/..." paths resolve
  <root>/data/local/tmp        where `adb install` pushes packages
"""

import copy
import os
import posixpath
import threading

from . import images

AGENT_PACKAGE = "com.zelvik.assist"
AGENT_ACTIVITY = "com.zelvik.assist.MainActivity"
AGENT_LABEL = "Zelvik手游助手"
# The shipped agent package (built by CMakeLists.txt) and its older variant.
AGENT_VERSION_CODE = 3
AGENT_VERSION_NAME = "1.3.0"
AGENT_OLD_VERSION_CODE = 2
AGENT_OLD_VERSION_NAME = "1.2.0"

SD_ROOT = "/storage/sdcard0"

PROPERTIES = {
    "ro.product.brand": "Zelvik",
    "ro.product.manufacturer": "Zelvik",
    "ro.product.model": "Z1 Sim",
    "ro.product.name": "zsim",
    "ro.product.device": "zsim",
    "ro.product.board": "zsim",
    "ro.product.cpu.abi": "armeabi-v7a",
    "ro.product.locale.language": "zh",
    "ro.product.locale.region": "CN",
    "ro.build.version.release": "4.4.2",
    "ro.build.version.sdk": "19",
    "ro.build.display.id": "ZSIM-4.4.2-20260301",
    "ro.build.fingerprint": "Zelvik/zsim/zsim:4.4.2/KOT49H/20260301:user/release-keys",
    "ro.serialno": "ZSIM00000001",
    "ro.hardware": "zsim",
    "gsm.version.baseband": "ZSIM-BB-1.0",
    "persist.sys.timezone": "Asia/Shanghai",
}

ENVIRONMENT = {
    "versionCode": "19",
    "mobileModel": "Z1 Sim",
    "sdCardSet": "1",
    "batteryLevel": "76",
    "rootPrivileges": "0",
    "androidID": "9774d56d682e549c",
    "sdRootPath": SD_ROOT,
    "internalStorageSize": "8589934592",
    "internalStorageAvaSize": "3758096384",
    "sdStorageSize": "15938355200",
    "sdStorageAvaSize": "11811160064",
}


def _app(package, label, version_code, version_name, size, colour, system=False):
    return {"package": package, "label": label, "versionCode": version_code,
            "versionName": version_name, "size": size, "system": system,
            "store": "0", "icon": images.png_bytes(48, 48, lambda x, y: colour)}


def fixture_apps():
    return [
        _app("com.android.settings", "设置", 19, "4.4.2", 4194304, (90, 90, 90), system=True),
        _app("com.zelvik.demo.notes", "便签本", 12, "1.2", 1572864, (240, 200, 40)),
        _app("com.zelvik.demo.weather", "天气预报", 305, "3.0.5", 8912896, (40, 140, 230)),
        _app("com.zelvik.demo.blocks", "Block Master", 7, "0.7", 25165824, (200, 60, 60)),
    ]


def agent_app(version_code, version_name):
    return _app(AGENT_PACKAGE, AGENT_LABEL, version_code, version_name, 2097152, (20, 160, 120))


def fixture_contacts():
    def entry(row, value, type_, label=""):
        return {"_id": row, "value": value, "type": type_, "label": label}

    def im(row, data, protocol, custom=""):
        return {"_id": row, "value": data, "type": 3, "label": "", "protocol": protocol,
                "custom_protocol": custom}

    return [
        {"id": 1, "name": "张三", "groups": [{"_id": 1001, "id": 1}],
         "phones": [entry(1101, "13800138000", 2), entry(1102, "010-62345678", 3)],
         "emails": [entry(1201, "zhangsan@example.com", 1)],
         "ims": [im(1301, "12345678", 4)],
         "postals": [entry(1401, "北京市海淀区中关村大街1号", 1)]},
        {"id": 2, "name": "李四", "groups": [{"_id": 1002, "id": 2}],
         "phones": [entry(2101, "13900139000", 2)],
         "emails": [], "ims": [im(2301, "lisi_work", -1, "Tamtalk")],
         "postals": [entry(2401, "上海市浦东新区世纪大道100号", 2, "")]},
        {"id": 3, "name": "Alice Smith", "groups": [{"_id": 1003, "id": 1}, {"_id": 1004, "id": 2}],
         "phones": [entry(3101, "+86 137 0000 1111", 2)],
         "emails": [entry(3201, "alice@example.org", 2), entry(3202, "alice.home@example.org", 1)],
         "ims": [], "postals": []},
        {"id": 4, "name": "王小明", "groups": [],
         "phones": [], "emails": [entry(4201, "xiaoming@example.com", 3, "学校")],
         "ims": [], "postals": []},
    ]


def fixture_sms():
    base = 1772330400000  # 2026-03-01 10:00:00 +08:00, in milliseconds
    minute = 60000
    return [
        {"id": 1, "thread": 1, "contact": 1, "addr": "13800138000", "date": base,
         "read": 1, "type": 1, "body": "晚上一起吃饭吗？", "errcode": "0"},
        {"id": 2, "thread": 1, "contact": 1, "addr": "13800138000", "date": base + 5 * minute,
         "read": 1, "type": 2, "body": "好的，七点见。\r\n老地方", "errcode": "0"},
        {"id": 3, "thread": 2, "contact": 0, "addr": "+86 139-0013-9000", "date": base + 60 * minute,
         "read": 0, "type": 1, "body": "Meeting moved to 3pm.", "errcode": "0"},
        {"id": 4, "thread": 2, "contact": 0, "addr": "+86 139-0013-9000", "date": base + 61 * minute,
         "read": 0, "type": 3, "body": "draft reply", "errcode": "0"},
        {"id": 5, "thread": 3, "contact": 0, "addr": "10086", "date": base - 1440 * minute,
         "read": 0, "type": 1, "body": "您本月话费余额为 58.20 元。", "errcode": "0"},
        {"id": 6, "thread": 3, "contact": 0, "addr": "10086", "date": base - 1430 * minute,
         "read": 1, "type": 2, "body": "CXYE", "errcode": "0"},
    ]


def fixture_music():
    return [
        {"id": 1, "file": SD_ROOT + "/Music/晴天.mp3", "name": "晴天", "duration": 269000,
         "artist": "周同学", "albums": "叶子", "mt": 1772330400},
        {"id": 2, "file": SD_ROOT + "/Music/Morning Walk.mp3", "name": "Morning Walk",
         "duration": 185500, "artist": "The Sim Band", "albums": "Loopback", "mt": 1772416800},
        {"id": 3, "file": SD_ROOT + "/Tamsil/Music/夜曲.mp3", "name": "夜曲", "duration": 226000,
         "artist": "<unknown>", "albums": "<unknown>", "mt": 1772416800},
    ]


def fixture_videos():
    return [
        {"id": 1, "file": SD_ROOT + "/Movies/海边.mp4", "name": "海边", "duration": 65000,
         "mt": 1772330400},
        {"id": 2, "file": SD_ROOT + "/DCIM/Camera/VID_20260302_101500.mp4",
         "name": "VID_20260302_101500", "duration": 12500, "mt": 1772417700},
    ]


def fixture_pictures():
    return [
        {"id": 1, "file": SD_ROOT + "/DCIM/Camera/IMG_20260302_100000.jpg", "bucket": "Camera",
         "addtm": 1772416800, "modtm": 1772416800, "width": 64, "height": 48, "colour": (220, 80, 40)},
        {"id": 2, "file": SD_ROOT + "/DCIM/Camera/IMG_20260215_183000.jpg", "bucket": "Camera",
         "addtm": 1771151400, "modtm": 1771151400, "width": 48, "height": 64, "colour": (40, 120, 220)},
        {"id": 3, "file": SD_ROOT + "/Pictures/截图/Screenshot_20260301.jpg", "bucket": "截图",
         "addtm": 1772330400, "modtm": 1772330400, "width": 32, "height": 32, "colour": (60, 180, 90)},
    ]


# ---- the large generated phone ----

_SURNAMES = "张王李赵刘陈杨黄周吴徐孙马朱胡郭何高林罗"
_GIVEN = "伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华"
_LATIN = ("Alice", "Bruno", "Chloe", "David", "Emma", "Felix", "Grace", "Henry")


def _large_name(i):
    """A contact name: mostly Chinese (two or three characters), some Latin."""
    if i % 10 == 7:
        return "%s %d" % (_LATIN[i % len(_LATIN)], i)
    name = _SURNAMES[i % len(_SURNAMES)] + _GIVEN[(i // 3) % len(_GIVEN)]
    if i % 2:
        name += _GIVEN[(i // 7) % len(_GIVEN)]
    return name


def _mobile(i):
    return "13%09d" % i


def large_contacts(n):
    contacts = []
    for i in range(1, n + 1):
        row = 100000 + 10 * i
        contacts.append({"id": i, "name": _large_name(i), "groups": [{"_id": row, "id": 1 + i % 3}],
                         "phones": [{"_id": row + 1, "value": _mobile(i), "type": 2, "label": ""},
                                    {"_id": row + 2, "value": "010-%08d" % i, "type": 3, "label": ""}],
                         "emails": [], "ims": [], "postals": []})
    return contacts


def large_sms(n, contacts):
    """3n messages in n/5 conversations: a third carry the contact's id, a third
    only its number written "+86 1xx-xxxx-xxxx", a third an unknown number."""
    base = 1772330400000
    threads = max(1, n // 5)
    per_thread = 3 * n // threads
    out = []
    for t in range(1, threads + 1):
        contact = contacts[(t * 7) % len(contacts)] if contacts else None
        kind = t % 3 if contact else 2
        if kind == 0:
            addr, contact_id = contact["phones"][0]["value"], contact["id"]
        elif kind == 1:
            m = contact["phones"][0]["value"]
            addr, contact_id = "+86 %s-%s-%s" % (m[:3], m[3:7], m[7:]), 0
        else:
            addr, contact_id = "106%08d" % t, 0
        for k in range(per_thread):
            mid = (t - 1) * per_thread + k + 1
            out.append({"id": mid, "thread": t, "contact": contact_id, "addr": addr,
                        "date": base - t * 3600000 + k * 60000, "read": 0 if (t % 4 == 0 and k == per_thread - 1) else 1,
                        "type": 1 if k % 2 == 0 else 2,
                        "body": "第%d条消息，会话%d。Message %d of thread %d." % (k + 1, t, k + 1, t),
                        "errcode": "0"})
    return out


def large_pictures(n):
    """n pictures, one every 7.5 hours back from 2026-03-02: about 100 a month.
    Media files of a large phone share their content (one file, many names)."""
    latest = 1772416800
    return [{"id": i, "file": SD_ROOT + "/DCIM/Camera/IMG_%06d.jpg" % i, "bucket": "Camera",
             "addtm": latest - (i - 1) * 27000, "modtm": latest - (i - 1) * 27000,
             "width": 64, "height": 48, "colour": (220, 80, 40)} for i in range(1, n + 1)]


def large_music(n):
    return [{"id": i, "file": SD_ROOT + "/Music/track_%06d.mp3" % i, "name": "Track %d" % i,
             "duration": 180000 + i % 60000, "artist": "Artist %d" % (i % 50),
             "albums": "Album %d" % (i % 200), "mt": 1772330400 - i, "_content": ("Track", 4096)}
            for i in range(1, n * 8 // 10 + 1)]


def large_videos(n):
    return [{"id": i, "file": SD_ROOT + "/Movies/clip_%06d.mp4" % i, "name": "clip_%06d" % i,
             "duration": 60000 + i, "mt": 1772330400 - i, "_content": ("Clip", 8192)}
            for i in range(1, n // 10 + 1)]


def picture_bytes(width, height, colour):
    """A JPEG of flat blocks that fade from colour to black, left to right."""
    cols = max(1, width // 8)

    def block(bx, by):
        f = 1.0 - bx / (2.0 * cols)
        return tuple(int(c * f) for c in colour)

    return images.jpeg_bytes(width, height, block)


def media_bytes(name, size):
    """Filler content for a media file: the name, then a repeated pattern."""
    head = ("PHONESIM MEDIA " + name + "\n").encode("utf-8")
    body = bytes((i * 7) & 0xFF for i in range(max(0, size - len(head))))
    return head + body


class PathError(Exception):
    pass


class FixturePhone:
    """Everything the phone holds. Callers take `lock` around compound edits."""

    # The lists that hold records with an "id" (and the id counters' names).
    KINDS = ("contacts", "sms", "music", "videos", "pictures")

    def __init__(self, root, agent_state="current", large=0):
        self.root = os.path.abspath(root)
        self.lock = threading.RLock()
        self.properties = dict(PROPERTIES)
        self.environment = dict(ENVIRONMENT)
        self.apps = {a["package"]: a for a in fixture_apps()}
        if agent_state in ("current", "old"):
            code, name = ((AGENT_VERSION_CODE, AGENT_VERSION_NAME) if agent_state == "current"
                          else (AGENT_OLD_VERSION_CODE, AGENT_OLD_VERSION_NAME))
            self.apps[AGENT_PACKAGE] = agent_app(code, name)
        if large:
            self.contacts = large_contacts(large)
            self.sms = large_sms(large, self.contacts)
            self.music = large_music(large)
            self.videos = large_videos(large)
            self.pictures = large_pictures(large)
        else:
            self.contacts = fixture_contacts()
            self.sms = fixture_sms()
            self.music = fixture_music()
            self.videos = fixture_videos()
            self.pictures = fixture_pictures()
        # New ids start past every id of the fixture.
        self._next = {"contact": 100, "row": 9000, "music": 100, "video": 100, "picture": 100}
        for counter, kind in (("contact", "contacts"), ("music", "music"), ("video", "videos"),
                              ("picture", "pictures")):
            self._next[counter] = max([self._next[counter]] + [r["id"] for r in getattr(self, kind)])
        self._next["row"] = max([self._next["row"]] + [e["_id"] for c in self.contacts for key in
                                                       ("groups", "phones", "emails", "ims", "postals")
                                                       for e in c[key]])
        self._by_id = {}
        for kind in self.KINDS:
            self.reindex(kind)
        self._make_tree()

    # ---- records by id ----
    def find(self, kind, record_id):
        """The first record of `kind` with that id, or None."""
        with self.lock:
            return self._by_id[kind].get(record_id)

    def append(self, kind, record):
        with self.lock:
            getattr(self, kind).append(record)
            self._by_id[kind].setdefault(record["id"], record)

    def remove(self, kind, record):
        with self.lock:
            getattr(self, kind).remove(record)
            if self._by_id[kind].get(record["id"]) is record:
                del self._by_id[kind][record["id"]]
                # Another record with the same id (none in the fixtures) takes its place.
                for other in getattr(self, kind):
                    if other["id"] == record["id"]:
                        self._by_id[kind][record["id"]] = other
                        break

    def reindex(self, kind):
        """Builds the index of `kind` again (after its list was replaced)."""
        with self.lock:
            index = {}
            for record in getattr(self, kind):
                index.setdefault(record["id"], record)
            self._by_id[kind] = index

    # ---- identifiers ----
    def next_id(self, kind):
        with self.lock:
            self._next[kind] += 1
            return self._next[kind]

    # ---- virtual root ----
    def host_path(self, device_path):
        """Maps a phone path (absolute, or relative to "/") to the file under the root."""
        if not device_path or "\0" in device_path:
            raise PathError("empty path")
        norm = posixpath.normpath("/" + device_path.lstrip("/"))
        if norm.startswith("/sdcard/") or norm == "/sdcard":
            norm = SD_ROOT + norm[len("/sdcard"):]
        return os.path.join(self.root, norm.lstrip("/"))

    def device_path(self, device_path):
        """The canonical phone path ("/storage/sdcard0/..." for "sdcard/...")."""
        norm = posixpath.normpath("/" + device_path.lstrip("/"))
        if norm.startswith("/sdcard/") or norm == "/sdcard":
            norm = SD_ROOT + norm[len("/sdcard"):]
        return norm

    def _link(self, device_path, template):
        """The file at `device_path` as another name of `template` (a host file)."""
        path = self.host_path(device_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if not os.path.exists(path):
            os.link(template, path)

    def _make_tree(self):
        for sub in ("storage/sdcard0", "data/local/tmp", "storage/sdcard0/tmp",
                    "storage/sdcard0/Tamsil/Music", "storage/sdcard0/Tamsil/Video",
                    "storage/sdcard0/DCIM/Camera", "storage/sdcard0/DCIM/.thumbnails",
                    "storage/sdcard0/Music", "storage/sdcard0/Movies"):
            os.makedirs(os.path.join(self.root, sub), exist_ok=True)
        link = os.path.join(self.root, "sdcard")
        if not os.path.lexists(link):
            os.symlink("storage/sdcard0", link)
        # Files of the same kind and size are written once and linked (a large
        # phone has thousands).
        templates = {}

        def write(device_path, key, make):
            if key not in templates:
                templates[key] = self.host_path("/data/local/tmp/.template_%d" % len(templates))
                with open(templates[key], "wb") as f:
                    f.write(make())
            self._link(device_path, templates[key])

        for m in self.music:
            name, size = m.get("_content") or (m["name"], 4096 + 512 * m["id"])
            write(m["file"], ("music", name, size), lambda: media_bytes(name, size))
        for v in self.videos:
            name, size = v.get("_content") or (v["name"], 8192 + 1024 * v["id"])
            write(v["file"], ("video", name, size), lambda: media_bytes(name, size))
        for p in self.pictures:
            write(p["file"], ("picture", p["width"], p["height"], p["colour"]),
                  lambda: picture_bytes(p["width"], p["height"], p["colour"]))
            p["thumb"] = SD_ROOT + "/DCIM/.thumbnails/%d.jpg" % p["id"]
            write(p["thumb"], ("thumb", p["colour"]), lambda: picture_bytes(16, 16, p["colour"]))
        for item in self.music + self.videos + self.pictures:
            item["size"] = os.path.getsize(self.host_path(item["file"]))
        for template in templates.values():
            os.remove(template)

    def snapshot(self):
        with self.lock:
            def public(records):
                return [{k: v for k, v in r.items() if k != "colour" and not k.startswith("_")}
                        for r in records]
            return copy.deepcopy({"apps": sorted(self.apps), "contacts": self.contacts,
                                  "sms": self.sms, "music": public(self.music),
                                  "videos": public(self.videos),
                                  "pictures": public(self.pictures)})
