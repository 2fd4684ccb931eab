"""The phone's package manager: installs, removals, listings, activity start,
and whether the agent app runs.

Package facts of a pushed APK come from the file itself through
`aapt dump badging` (so real packages work); the icon is read from the
package when it is a PNG.

Threading: every method takes `FixturePhone.lock`; `agent_running` is only
changed under it.
"""

import os
import re
import subprocess
import zipfile

from . import images, log
from .fixture import AGENT_ACTIVITY, AGENT_PACKAGE, PROPERTIES, PathError

AAPT = "/usr/bin/aapt"
PHONE_SDK = int(PROPERTIES["ro.build.version.sdk"])

_BADGING_PACKAGE = re.compile(r"^package: name='([^']*)' versionCode='([^']*)' versionName='([^']*)'", re.M)
_BADGING_LABEL = re.compile(r"^application-label:'([^']*)'", re.M)
_BADGING_APPLICATION = re.compile(r"^application: label='([^']*)' icon='([^']*)'", re.M)
_BADGING_SDK = re.compile(r"^sdkVersion:'([^']*)'", re.M)


def parse_badging(text):
    """aapt badging text -> dict(package, versionCode, versionName, label, icon,
    sdkVersion) or None. sdkVersion (the minimum SDK) is "1" when the
    manifest names none, as on Android."""
    match = _BADGING_PACKAGE.search(text)
    if not match:
        return None
    sdk = _BADGING_SDK.search(text)
    info = {"package": match.group(1), "versionCode": match.group(2),
            "versionName": match.group(3), "label": "", "icon": "",
            "sdkVersion": sdk.group(1) if sdk else "1"}
    app = _BADGING_APPLICATION.search(text)
    if app:
        info["label"], info["icon"] = app.group(1), app.group(2)
    label = _BADGING_LABEL.search(text)
    if label and not info["label"]:
        info["label"] = label.group(1)
    return info


def read_badging(path):
    try:
        out = subprocess.run([AAPT, "dump", "badging", path], capture_output=True,
                             timeout=60).stdout.decode("utf-8", "replace")
    except (OSError, subprocess.TimeoutExpired) as err:
        log.error("pm", "aapt failed on %s: %s" % (path, err))
        return None
    return parse_badging(out)


def read_icon(path, entry):
    try:
        with zipfile.ZipFile(path) as apk:
            data = apk.read(entry)
        if data.startswith(b"\x89PNG"):
            return data
    except (OSError, KeyError, zipfile.BadZipFile):
        pass
    return images.png_bytes(48, 48, lambda x, y: (128, 128, 128))


class PackageManager:
    def __init__(self, phone, faults, agent_running=True):
        self.phone = phone
        self.faults = faults
        self.agent_running = agent_running and AGENT_PACKAGE in phone.apps

    # ---- agent state (control channel) ----
    def set_agent(self, state):
        """'none' | 'old' | 'current' | 'stopped' | 'running'."""
        from .fixture import (AGENT_OLD_VERSION_CODE, AGENT_OLD_VERSION_NAME, AGENT_VERSION_CODE,
                              AGENT_VERSION_NAME, agent_app)
        with self.phone.lock:
            if state == "none":
                self.phone.apps.pop(AGENT_PACKAGE, None)
                self.agent_running = False
            elif state in ("old", "current"):
                code, name = ((AGENT_VERSION_CODE, AGENT_VERSION_NAME) if state == "current"
                              else (AGENT_OLD_VERSION_CODE, AGENT_OLD_VERSION_NAME))
                self.phone.apps[AGENT_PACKAGE] = agent_app(code, name)
                self.agent_running = True
            elif state == "stopped":
                self.agent_running = False
            elif state == "running":
                self.agent_running = AGENT_PACKAGE in self.phone.apps
            else:
                raise ValueError("agent state %r" % state)

    def agent_serving(self):
        with self.phone.lock:
            return self.agent_running and AGENT_PACKAGE in self.phone.apps

    # ---- pm ----
    def list_packages(self, options):
        with self.phone.lock:
            apps = sorted(self.phone.apps.values(), key=lambda a: a["package"])
        if "-3" in options:
            apps = [a for a in apps if not a["system"]]
        if "-s" in options:
            apps = [a for a in apps if a["system"]]
        return "".join("package:%s\n" % a["package"] for a in apps)

    def install(self, device_path, options):
        """pm install [-r] [-d] [-f|-s] path -> the text pm prints."""
        if not self.faults.hold_install():
            log.error("pm", "install held longer than the fault allows")
            return "\tpkg: %s\nFailure [INSTALL_FAILED_INTERNAL_ERROR]\n" % device_path
        failure = self.faults.install_failure()
        if failure and failure != "NO_SPACE":
            return "\tpkg: %s\nFailure [%s]\n" % (device_path, failure)
        try:
            host = self.phone.host_path(device_path)
        except PathError:
            host = None
        if not host or not os.path.isfile(host):
            return "\tpkg: %s\nFailure [INSTALL_FAILED_INVALID_URI]\n" % device_path
        info = read_badging(host)
        if info is None or not info["versionCode"].isdigit():
            return "\tpkg: %s\nFailure [INSTALL_FAILED_INVALID_APK]\n" % device_path
        code = int(info["versionCode"])
        # A codename instead of a number names a preview platform: too new as well.
        if not info["sdkVersion"].isdigit() or int(info["sdkVersion"]) > PHONE_SDK:
            return "\tpkg: %s\nFailure [INSTALL_FAILED_OLDER_SDK]\n" % device_path
        with self.phone.lock:
            old = self.phone.apps.get(info["package"])
            if old is not None and "-r" not in options:
                return "\tpkg: %s\nFailure [INSTALL_FAILED_ALREADY_EXISTS]\n" % device_path
            if old is not None and code < old["versionCode"] and "-d" not in options:
                return "\tpkg: %s\nFailure [INSTALL_FAILED_VERSION_DOWNGRADE]\n" % device_path
            self.phone.apps[info["package"]] = {
                "package": info["package"], "label": info["label"] or info["package"],
                "versionCode": code, "versionName": info["versionName"],
                "size": os.path.getsize(host), "system": False,
                "store": "1" if "-s" in options else "0",
                "icon": read_icon(host, info["icon"])}
            if info["package"] == AGENT_PACKAGE:
                self.agent_running = False   # a replaced app's process is killed
        log.info("pm", "installed %s versionCode %d" % (info["package"], code))
        return "\tpkg: %s\nSuccess\n" % device_path

    def uninstall(self, package):
        with self.phone.lock:
            app = self.phone.apps.get(package)
            if app is None or app["system"]:
                return "Failure [DELETE_FAILED_INTERNAL_ERROR]\n"
            del self.phone.apps[package]
            if package == AGENT_PACKAGE:
                self.agent_running = False
        return "Success\n"

    def version_dump(self, package):
        """The part of `dumpsys package <pkg>` that names the package's version."""
        with self.phone.lock:
            app = self.phone.apps.get(package)
            if app is None:
                return ""
            return ("Packages:\n"
                    "  Package [%s] (4f2a1c3):\n"
                    "    userId=10%03d gids=[3003]\n"
                    "    pkg=Package{7a1b2c3 %s}\n"
                    "    codePath=/data/app/%s-1.apk\n"
                    "    versionCode=%d targetSdk=19\n"
                    "    versionName=%s\n"
                    "    dataDir=/data/data/%s\n"
                    % (package, len(package), package, package, app["versionCode"],
                       app["versionName"], package))

    # ---- am ----
    def start_activity(self, component):
        package, _, cls = component.partition("/")
        if cls.startswith("."):
            cls = package + cls
        text = "Starting: Intent { cmp=%s }\n" % component
        with self.phone.lock:
            app = self.phone.apps.get(package)
            known = app is not None and (package != AGENT_PACKAGE or cls == AGENT_ACTIVITY)
            if not known:
                return text + ("Error type 3\nError: Activity class {%s/%s} does not exist.\n"
                               % (package, cls))
            if package == AGENT_PACKAGE:
                self.agent_running = True
        return text
