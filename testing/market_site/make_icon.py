#!/usr/bin/python3
"""Writes a 48x48 PNG icon: a rounded tile of one colour with a white band.

  make_icon.py --colour R,G,B --out FILE
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "phone_sim"))
from phonesim.images import png_bytes  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--colour", required=True)
    p.add_argument("--out", required=True)
    a = p.parse_args()
    colour = tuple(int(c) for c in a.colour.split(","))

    def pixel(x, y):
        return (255, 255, 255) if 20 <= y < 28 and 10 <= x < 38 else colour

    tmp = a.out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(png_bytes(48, 48, pixel))
    os.replace(tmp, a.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
