#!/usr/bin/python3
"""Rewrites PNG files without their text chunks (Blender stores render times there), so that
re-rendered frames are byte-identical when their pixels are.

Usage: strip_png_metadata.py FOLDER
"""
import os
import sys

from PIL import Image

folder = sys.argv[1]
for name in sorted(os.listdir(folder)):
    if name.endswith(".png"):
        path = os.path.join(folder, name)
        with Image.open(path) as img:
            img.load()
            pixels = img.copy()
        pixels.info = {}
        pixels.save(path, optimize=True)
