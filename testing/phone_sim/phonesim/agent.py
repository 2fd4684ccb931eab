"""The agent app inside the simulated phone: the command server on device
port 21220, reached only through adb `tcp:21220` streams.

One request per connection. The keep-alive probe ("sever alive on:<ticks>"
and a NUL byte, checked whole) is read and the connection closed without a
reply; a connection that sends nothing and closes is fine too.

Commands edit the fixture under `FixturePhone.lock`.
"""

import os
import re
import shutil
import time

from . import images, log
from .agent_protocol import RequestError, build_reply, element, validate
from .fixture import AGENT_PACKAGE, SD_ROOT, PathError

KEEP_ALIVE_PREFIX = b"sever alive on:"
KEEP_ALIVE = re.compile(rb"sever alive on:[0-9]{1,10}\0")   # the whole text, NUL included
QUIET_SECONDS = 0.5      # wait this long for more bytes of an unfinished request
IDLE_SECONDS = 30        # a connection idle this long before any byte is dropped


class CommandFailed(Exception):
    """A well-formed request the phone cannot carry out (unknown id, missing file)."""


def _count(n):
    return [element("count", value=n)]


class Agent:
    def __init__(self, phone, faults):
        self.phone = phone
        self.faults = faults
        self.requests = []   # (command, result) of every handled request, for tests

    # ---- connection ----
    def serve(self, stream):
        raw = self._read_request(stream)
        if raw is None:
            return
        if raw.startswith(KEEP_ALIVE_PREFIX):
            if KEEP_ALIVE.fullmatch(raw):
                log.info("agent", "keep-alive %r" % raw.rstrip(b"\0").decode("ascii"))
            else:
                log.error("agent", "malformed keep-alive %r" % raw[:100])
            return
        try:
            request = validate(raw)
        except RequestError as err:
            log.error("agent", "%s; request was %r" % (err, raw[:300]))
            self._send(stream, None, build_reply("0"))
            return
        fault = self.faults.agent_faults(request.command)
        if "close" in fault:
            log.info("agent", "fault close: %s dropped" % request.command)
            return
        try:
            children, tail = self.execute(request)
            reply = build_reply("1", children) + tail
            result = "1"
        except CommandFailed as err:
            log.info("agent", "%s failed: %s" % (request.command, err))
            reply = build_reply("0")
            result = "0"
        if "result0" in fault:
            reply = build_reply("0")
        if "wrongroot" in fault:
            reply = build_reply("1", root_tag="reply")
        if "exact512" in fault:
            if len(reply) < 512:
                reply += b" " * (512 - len(reply))
            else:
                log.info("agent", "exact512: reply of %s already %d bytes" % (request.command, len(reply)))
        self.requests.append((request.command, result))
        log.info("agent", "%s %s -> result %s, %d bytes%s" % (
            request.method, request.command, result, len(reply),
            " (faults: %s)" % ", ".join(sorted(fault)) if fault else ""))
        if "slow" in fault:
            time.sleep(int(fault["slow"] or 3000) / 1000.0)
        self._send(stream, fault, reply)

    def _read_request(self, stream):
        data = b""
        while True:
            chunk = stream.read(timeout=IDLE_SECONDS if not data else QUIET_SECONDS)
            if chunk == b"":
                return data or None
            if chunk is None:
                if not data:
                    return None
                return data   # quiet after some bytes: take what came
            data += chunk
            if data.startswith(KEEP_ALIVE_PREFIX) and b"\0" in data:
                return data
            if data.rstrip().endswith(b">"):
                try:
                    validate(data)
                    return data
                except RequestError:
                    continue   # maybe unfinished; wait for more or for quiet

    def _send(self, stream, fault, reply):
        if fault and "split" in fault:
            piece = int(fault["split"] or 7)
            for start in range(0, len(reply), piece):
                if not stream.write(reply[start:start + piece]):
                    return
                time.sleep(0.002)
            return
        stream.write(reply)

    # ---- commands ----
    def execute(self, request):
        """Runs a validated request; returns (reply children, bytes after the XML)."""
        handler = getattr(self, "cmd_" + request.command)
        with self.phone.lock:
            result = handler(request.params)
        if isinstance(result, tuple):
            return result
        return result, b""

    @staticmethod
    def _ids(params):
        return [int(p.get("id")) for p in params]

    def cmd_connect(self, params):
        return []

    # apps
    def _app_element(self, app):
        return element("app", appType="0" if app["system"] else "1",
                       packageName=app["package"], appName=app["label"],
                       appSize=app["size"], versionCode=app["versionCode"],
                       versionName=app["versionName"], packageStore=app["store"])

    def _app(self, params):
        package = params[0].get("value")
        app = self.phone.apps.get(package)
        if app is None:
            raise CommandFailed("no package %r" % package)
        return app

    def cmd_package_list(self, params):
        return [self._app_element(a) for _, a in sorted(self.phone.apps.items())]

    def cmd_package_count(self, params):
        return _count(sum(1 for a in self.phone.apps.values()
                          if not a["system"] and a["package"] != AGENT_PACKAGE))

    def cmd_package_icon(self, params):
        app = self._app(params)
        return [element("packageName", value=app["package"])], b"\0" + app["icon"]

    def cmd_package_info(self, params):
        return [self._app_element(self._app(params))]

    # contacts
    VALUE_ATTR = {"phones": "number", "emails": "address", "postals": "address", "ims": "data"}
    FORM_LISTS = {"phone": "phones", "email": "emails", "postal": "postals", "im": "ims"}

    def _contact(self, contact_id):
        contact = self.phone.find("contacts", contact_id)
        if contact is None:
            raise CommandFailed("no contact %d" % contact_id)
        return contact

    def cmd_contact_list(self, params):
        out = []
        for c in self.phone.contacts:
            el = element("c", i=c["id"], n=c["name"])
            for g in c["groups"]:
                el.append(element("g", i=g["id"]))
            for p in c["phones"]:
                el.append(element("p", n=p["value"]))
            out.append(el)
        return out

    def cmd_contact_count(self, params):
        return _count(len(self.phone.contacts))

    def cmd_contact_info(self, params):
        c = self._contact(int(params[0].get("id")))
        el = element("contact", id=c["id"], name=c["name"])
        for g in c["groups"]:
            el.append(element("group", _id=g["_id"], id=g["id"]))
        for tag, key in (("phone", "phones"), ("email", "emails")):
            for e in c[key]:
                attrs = {"_id": e["_id"], self.VALUE_ATTR[key]: e["value"],
                         "type": e["type"], "label": e["label"]}
                el.append(element(tag, **attrs))
        for e in c["ims"]:
            el.append(element("im", _id=e["_id"], data=e["value"], type=e["type"],
                              label=e["label"], protocol=e["protocol"],
                              custom_protocol=e["custom_protocol"]))
        for e in c["postals"]:
            el.append(element("postal", _id=e["_id"], address=e["value"], type=e["type"],
                              label=e["label"]))
        return [el]

    def _entry_from_form(self, form, key):
        entry = {"_id": self.phone.next_id("row"), "value": form.get(self.VALUE_ATTR[key]),
                 "type": int(form.get("type")), "label": form.get("label")}
        if key == "ims":
            entry["protocol"] = int(form.get("protocol"))
            entry["custom_protocol"] = form.get("custom_protocol")
        return entry

    def cmd_contact_add(self, params):
        form = params[0]
        contact = {"id": self.phone.next_id("contact"), "name": form.get("name"), "groups": [],
                   "phones": [], "emails": [], "ims": [], "postals": []}
        for entry in form:
            if entry.tag == "group":
                contact["groups"].append({"_id": self.phone.next_id("row"),
                                          "id": int(entry.get("rawid"))})
            else:
                key = self.FORM_LISTS[entry.tag]
                contact[key].append(self._entry_from_form(entry, key))
        self.phone.append("contacts", contact)
        return [element("contact", id=contact["id"])]

    def cmd_contact_edit(self, params):
        form = params[0]
        contact = self._contact(int(form.get("id")))
        edits = []
        for entry in form:
            key = "groups" if entry.tag == "group" else self.FORM_LISTS[entry.tag]
            status = int(entry.get("status"))
            row = int(entry.get("_id")) if "_id" in entry.attrib else None
            target = None
            if status != 1:
                target = next((e for e in contact[key] if e["_id"] == row), None)
                if target is None:
                    raise CommandFailed("contact %d has no %s row %d" % (contact["id"], entry.tag, row))
            edits.append((key, status, entry, target))
        contact["name"] = form.get("name")
        for key, status, entry, target in edits:
            if status == 3:
                contact[key].remove(target)
            elif key == "groups":
                if status == 1:
                    contact[key].append({"_id": self.phone.next_id("row"), "id": int(entry.get("rawid"))})
                else:
                    target["id"] = int(entry.get("rawid"))
            elif status == 1:
                contact[key].append(self._entry_from_form(entry, key))
            else:
                fresh = self._entry_from_form(entry, key)
                fresh["_id"] = target["_id"]
                target.update(fresh)
        return []

    def cmd_contact_del(self, params):
        self.phone.remove("contacts", self._contact(int(params[0].get("id"))))
        return []

    # environment
    def cmd_environment(self, params):
        return [element("phone", **self.phone.environment)]

    def cmd_storagesize_info(self, params):
        env = self.phone.environment
        return [element("phone", **{k: env[k] for k in (
            "internalStorageSize", "internalStorageAvaSize", "sdStorageSize", "sdStorageAvaSize")})]

    # sms
    def cmd_sms_list(self, params):
        return [element("sms", thread=m["thread"], contact=m["contact"], type=m["type"],
                        id=m["id"], addr=m["addr"], date=m["date"], read=m["read"],
                        body=m["body"], errcode=m["errcode"]) for m in self.phone.sms]

    def cmd_sms_count(self, params):
        return _count(sum(1 for m in self.phone.sms if m["type"] != 3))

    def cmd_sms_del_thread(self, params):
        thread = int(params[0].get("id"))
        kept = [m for m in self.phone.sms if m["thread"] != thread]
        if len(kept) == len(self.phone.sms):
            raise CommandFailed("no thread %d" % thread)
        self.phone.sms[:] = kept
        self.phone.reindex("sms")
        return []

    def _sms(self, sms_id):
        message = self.phone.find("sms", sms_id)
        if message is None:
            raise CommandFailed("no message %d" % sms_id)
        return message

    def cmd_sms_read(self, params):
        self._sms(int(params[0].get("id")))["read"] = 1
        return []

    def cmd_sms_del(self, params):
        message = self._sms(int(params[0].get("id")))
        if message["thread"] != int(params[0].get("thread")):
            raise CommandFailed("message %d is not in thread %s" % (message["id"], params[0].get("thread")))
        self.phone.remove("sms", message)
        return []

    # media: music, video and pictures share the list, info, delete and add steps
    def _media_element(self, kind, r):
        if kind == "music":
            return element("music", id=r["id"], file=r["file"], name=r["name"], size=r["size"],
                           duration=r["duration"], artist=r["artist"], albums=r["albums"], mt=r["mt"])
        if kind == "video":
            return element("video", id=r["id"], file=r["file"], name=r["name"],
                           duration=r["duration"], size=r["size"], mt=r["mt"])
        return element("p", id=r["id"], addtm=r["addtm"], modtm=r["modtm"], size=r["size"],
                       file=r["file"], thumb=r["thumb"], bucket=r["bucket"],
                       width=r["width"], height=r["height"])

    LISTS = {"music": "music", "video": "videos", "image": "pictures"}

    def _records(self, kind):
        return getattr(self.phone, self.LISTS[kind])

    def _record(self, kind, record_id):
        record = self.phone.find(self.LISTS[kind], record_id)
        if record is None:
            raise CommandFailed("no %s %d" % (kind, record_id))
        return record

    def _info(self, kind, params):
        found = []
        for record_id in self._ids(params):
            try:
                found.append(self._media_element(kind, self._record(kind, record_id)))
            except CommandFailed:
                log.info("agent", "%s_info: unknown id %d skipped" % (kind, record_id))
        if not found:
            raise CommandFailed("%s_info: none of the ids is known" % kind)
        return found

    def _delete(self, kind, params):
        record = self._record(kind, int(params[0].get("id")))
        self.phone.remove(self.LISTS[kind], record)
        for key in ("file", "thumb"):
            if record.get(key):
                try:
                    os.remove(self.phone.host_path(record[key]))
                except OSError:
                    pass
        return []

    def _stat_added(self, path):
        try:
            canonical = self.phone.device_path(path)
            host = self.phone.host_path(path)
        except PathError as err:
            raise CommandFailed(str(err))
        if not os.path.isfile(host):
            raise CommandFailed("no file %s on the phone" % canonical)
        return canonical, host

    def _add(self, kind, path):
        canonical, host = self._stat_added(path)
        records = self._records(kind)
        for r in records:
            if r["file"] == canonical:
                r["size"] = os.path.getsize(host)
                return r
        name = os.path.splitext(os.path.basename(canonical))[0]
        mt = int(os.path.getmtime(host))
        record = {"id": self.phone.next_id({"music": "music", "video": "video",
                                            "image": "picture"}[kind]),
                  "file": canonical, "name": name, "size": os.path.getsize(host), "mt": mt}
        if kind == "music":
            record.update(duration=0, artist="<unknown>", albums="<unknown>")
        elif kind == "video":
            record.update(duration=0)
        else:
            with open(host, "rb") as f:
                head = f.read(65536)
            width, height = images.image_size(head)
            thumb = SD_ROOT + "/DCIM/.thumbnails/%d%s" % (record["id"], os.path.splitext(canonical)[1])
            shutil.copyfile(host, self.phone.host_path(thumb))
            record = {"id": record["id"], "file": canonical, "bucket": os.path.basename(os.path.dirname(canonical)),
                      "addtm": int(time.time()), "modtm": mt, "width": width, "height": height,
                      "size": record["size"], "thumb": thumb}
        self.phone.append(self.LISTS[kind], record)
        return record

    def cmd_music_list(self, params):
        return [self._media_element("music", r) for r in self.phone.music]

    def cmd_music_count(self, params):
        return _count(len(self.phone.music))

    def cmd_music_info(self, params):
        return self._info("music", params)

    def cmd_music_del(self, params):
        return self._delete("music", params)

    def cmd_music_add(self, params):
        return [element("m", id=self._add("music", params[0].get("file"))["id"])]

    def cmd_video_list(self, params):
        return [self._media_element("video", r) for r in self.phone.videos]

    def cmd_video_count(self, params):
        return _count(len(self.phone.videos))

    def cmd_video_info(self, params):
        return self._info("video", params)

    def cmd_video_del(self, params):
        return self._delete("video", params)

    def cmd_video_add(self, params):
        return [element("m", id=self._add("video", params[0].get("file"))["id"])]

    def cmd_image_list(self, params):
        return [element("p", id=r["id"], addtm=r["addtm"], modtm=r["modtm"])
                for r in self.phone.pictures]

    def cmd_image_count(self, params):
        return _count(len(self.phone.pictures))

    def cmd_image_info(self, params):
        return self._info("image", params)

    def cmd_image_del(self, params):
        return self._delete("image", params)

    def cmd_image_add(self, params):
        return [element("p", id=self._add("image", params[0].get("path"))["id"])]
