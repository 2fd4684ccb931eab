#!/usr/bin/python3
"""Builds a small real Android package with Debian's aapt.

  make_apk.py --package P --version-code N --version-name V --label L [--min-sdk N] --out FILE

The package holds a manifest (with a launcher activity P.MainActivity) and
a PNG icon at res/drawable/icon.png, so `aapt dump badging` reports the
package name, versionCode, versionName, label and icon.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
from xml.sax.saxutils import quoteattr

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from phonesim.images import png_bytes  # noqa: E402

AAPT = "/usr/bin/aapt"
FRAMEWORK = "/usr/share/android-framework-res/framework-res.apk"

MANIFEST = """<?xml version="1.0" encoding="utf-8"?>
<manifest xmlns:android="http://schemas.android.com/apk/res/android"
    package=%(package)s android:versionCode=%(code)s android:versionName=%(name)s>
  <uses-sdk android:minSdkVersion=%(min_sdk)s android:targetSdkVersion="19"/>
  <application android:label=%(label)s android:icon="@drawable/icon">
    <activity android:name=".MainActivity" android:label=%(label)s>
      <intent-filter>
        <action android:name="android.intent.action.MAIN"/>
        <category android:name="android.intent.category.LAUNCHER"/>
      </intent-filter>
    </activity>
  </application>
</manifest>
"""


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--package", required=True)
    p.add_argument("--version-code", type=int, required=True)
    p.add_argument("--version-name", required=True)
    p.add_argument("--label", required=True)
    p.add_argument("--colour", default="20,160,120")
    p.add_argument("--min-sdk", type=int, default=14)
    p.add_argument("--out", required=True)
    a = p.parse_args()
    colour = tuple(int(c) for c in a.colour.split(","))
    work = tempfile.mkdtemp(prefix="make-apk-")
    try:
        with open(os.path.join(work, "AndroidManifest.xml"), "w", encoding="utf-8") as f:
            f.write(MANIFEST % {"package": quoteattr(a.package), "code": quoteattr(str(a.version_code)),
                                "name": quoteattr(a.version_name), "label": quoteattr(a.label),
                                "min_sdk": quoteattr(str(a.min_sdk))})
        os.makedirs(os.path.join(work, "res", "drawable"))
        with open(os.path.join(work, "res", "drawable", "icon.png"), "wb") as f:
            f.write(png_bytes(48, 48, lambda x, y: colour if (x // 8 + y // 8) % 2 else (255, 255, 255)))
        os.makedirs(os.path.dirname(os.path.abspath(a.out)), exist_ok=True)
        tmp_out = a.out + ".tmp"
        subprocess.run([AAPT, "package", "-f", "-M", os.path.join(work, "AndroidManifest.xml"),
                        "-S", os.path.join(work, "res"), "-I", FRAMEWORK, "-F", tmp_out],
                       check=True, stdout=subprocess.DEVNULL)
        os.replace(tmp_out, a.out)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
