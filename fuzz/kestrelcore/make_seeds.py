#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets from the committed malformed corpus and a few
valid files. Run from this folder: python3 make_seeds.py"""
import os
import shutil
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
corpus = os.path.join(here, "..", "..", "tests", "data", "kestrelcore", "malformed")
sys.path.insert(0, corpus)
import make_corpus as mc  # noqa: E402  (also rewrites the corpus, identically)

seeds = os.path.join(here, "seeds")
for t in ("shapefile", "export", "dbf", "coords"):
    shutil.rmtree(os.path.join(seeds, t), ignore_errors=True)
    os.makedirs(os.path.join(seeds, t))


def container(shp, shx, dbf):
    return struct.pack("<II", len(shp), len(shx)) + bytes(shp) + bytes(shx) + bytes(dbf)


def put(kind, name, data):
    with open(os.path.join(seeds, kind, name), "wb") as f:
        f.write(data)


for name in sorted(os.listdir(corpus)):
    d = os.path.join(corpus, name)
    if not os.path.isdir(d):
        continue
    parts = []
    for ext in ("shp", "shx", "dbf"):
        p = os.path.join(d, "case." + ext)
        parts.append(open(p, "rb").read() if os.path.exists(p) else b"")
    blob = container(*parts)
    put("shapefile", name, blob)
    put("export", name, blob)
    if parts[2]:
        put("dbf", name, parts[2])

# valid files of other types
pts = [mc.point(1.5, 2.5), mc.point(-3, -4), mc.point(0, 0)]
shp, shx = mc.build(1, pts, bounds=(-3, -4, 1.5, 2.5))
blob = container(shp, shx, mc.table(3))
put("shapefile", "valid_points", blob)
put("export", "valid_points", blob)
ring = [(0, 0), (0, 10), (10, 10), (10, 0), (0, 0)]
shp, shx = mc.build(5, [mc.poly(5, [ring], ring)], bounds=(0, 0, 10, 10))
blob = container(shp, shx, mc.table(1))
put("shapefile", "valid_polygon", blob)
put("export", "valid_polygon", blob)

for i, text in enumerate(["x=1.5,2.5,10 3.5,4.5,20;", "1,2 3,4", "", "5", "5 6 7", "1,,3 4,5,6",
                          " ".join("%d,%d,%d" % (k, k + 1, k + 2) for k in range(400)),
                          "-1.5e3,-.5 --2,3.", "\t-0.0,1e-9,7/8"]):
    put("coords", "text%02d" % i, bytes([i % 4]) + text.encode())
print("seeds written")
