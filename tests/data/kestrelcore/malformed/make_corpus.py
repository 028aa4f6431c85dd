#!/usr/bin/env python3
"""Writes the committed corpus of malformed shapefiles and tables (regression tests of
Kestrelcore's hardening). Run from this folder: python3 make_corpus.py

Each case is a folder holding case.shp, case.shx and case.dbf (some missing on purpose);
expected.txt lists per case: name, whether KC_OpenShpFile succeeds (1/0), whether
KC_OpenDBFFile succeeds (1/0/-: no table), and a short description.
"""
import os
import shutil
import struct

NAN = float("nan")
INF = float("inf")


def be(*v):
    return struct.pack(">" + "i" * len(v), *v)


def shp_header(shape_type, file_len_bytes, bounds=(0, 0, 0, 0)):
    return (be(9994, 0, 0, 0, 0, 0, file_len_bytes // 2) + struct.pack("<ii", 1000, shape_type)
            + struct.pack("<8d", bounds[0], bounds[1], bounds[2], bounds[3], 0, 0, 0, 0))


def point(x, y):
    return struct.pack("<i2d", 1, x, y)


def poly(shape_type, parts, pts, starts=None, nparts=None, npoints=None, extra=b""):
    xs = [p[0] for p in pts] or [0]
    ys = [p[1] for p in pts] or [0]
    box = (min(xs), min(ys), max(xs), max(ys))
    if starts is None:
        starts = [0] + [len(p) for p in parts[:-1]]
        acc = 0
        starts = []
        for p in parts:
            starts.append(acc)
            acc += len(p)
    body = struct.pack("<i4d", shape_type, *box)
    body += struct.pack("<ii", len(starts) if nparts is None else nparts,
                        len(pts) if npoints is None else npoints)
    body += struct.pack("<%di" % len(starts), *starts)
    for x, y in pts:
        body += struct.pack("<2d", x, y)
    return body + extra


def build(shape_type, contents, bounds=(0, 0, 10, 10)):
    """contents: list of record content bytes. Returns (shp, shx)."""
    recs = b""
    index = b""
    off = 100
    for i, c in enumerate(contents):
        recs += be(i + 1, len(c) // 2) + c
        index += be(off // 2, len(c) // 2)
        off += 8 + len(c)
    shp = shp_header(shape_type, 100 + len(recs), bounds) + recs
    shx = shp_header(shape_type, 100 + len(index), bounds) + index
    return bytearray(shp), bytearray(shx)


def dbf(fields, records, n_records=None, header_len=None, record_len=None, terminator=True):
    """fields: (name, type, width, decimals); records: lists of strings."""
    desc = b""
    for name, t, w, d in fields:
        desc += name.encode().ljust(11, b"\0") + t.encode() + b"\0" * 4 + bytes([w, d]) + b"\0" * 14
    hl = 32 + len(desc) + (1 if terminator else 0)
    rl = 1 + sum(f[2] for f in fields)
    head = struct.pack("<BBBBIHH", 3, 125, 1, 1, len(records) if n_records is None else n_records,
                       hl if header_len is None else header_len, rl if record_len is None else record_len)
    head += b"\0" * 20
    body = b""
    for r in records:
        body += b" "
        for (name, t, w, d), v in zip(fields, r):
            body += v.encode()[:w].rjust(w) if t in "NF" else v.encode()[:w].ljust(w)
    return bytearray(head + desc + (b"\r" if terminator else b"") + body + b"\x1a")


FIELDS = [("NAME", "C", 12, 0), ("ID", "N", 6, 0), ("AREA", "N", 12, 4), ("OK", "L", 1, 0)]


def table(n):
    return dbf(FIELDS, [["f%d" % i, str(i), "%.4f" % (i * 1.5), "T"] for i in range(n)])


LINES = [poly(3, [[(1, 1), (2, 2)], [(3, 3), (4, 4)]], [(1, 1), (2, 2), (3, 3), (4, 4)]),
         poly(3, [[(-5, -5), (-6, -7), (-8, -9)]], [(-5, -5), (-6, -7), (-8, -9)])]

cases = []


def case(name, shp, shx, dbf_bytes, shp_ok, dbf_ok, what, feats=None, recs=None):
    """feats: features readable (default: 2 if the .shp opens); recs: records readable."""
    d = os.path.join(os.path.dirname(os.path.abspath(__file__)), name)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    for ext, data in (("shp", shp), ("shx", shx), ("dbf", dbf_bytes)):
        if data is not None:
            with open(os.path.join(d, "case." + ext), "wb") as f:
                f.write(bytes(data))
    if feats is None:
        feats = 2 if shp_ok else "-"
    if recs is None:
        recs = 2 if dbf_ok else 0
    cases.append((name, shp_ok, dbf_ok, feats, recs, what))


# --- the .shp and .shx -------------------------------------------------------------------
shp, shx = build(3, LINES)
case("valid_lines", shp, shx, table(2), 1, 1, "a valid two-feature polyline file (control)")

shp, shx = build(3, LINES)
case("shp_truncated", shp[:len(shp) - 40], shx, table(2), 1, 1,
     "the .shp cut inside its last record", feats=1)

shp, shx = build(3, LINES)
case("shp_header_only_short", shp[:60], shx, table(2), 0, 1, "a .shp shorter than its header")

shp, shx = build(3, LINES)
shx[24:28] = be(0x7FFFFFFF)
case("shx_huge_count", shp, shx, table(2), 0, 1,
     ".shx header announcing about 536 million records (shapelib would allocate 2 GB)")

shp, shx = build(3, LINES)
shx[24:28] = be(10)
case("shx_count_negative", shp, shx, table(2), 0, 1, ".shx header length below the header itself")

shp, shx = build(3, LINES)
shx[108:112] = be(0x7FFFFFF0)
case("shx_offset_beyond", shp, shx, table(2), 1, 1, ".shx offset of the second record beyond the .shp", feats=1)

shp, shx = build(3, LINES)
shx[104:108] = be(0x30000000)
case("shx_length_beyond", shp, shx, table(2), 1, 1, ".shx length of the first record of 1.6 GB", feats=1)

shp, shx = build(3, LINES)
case("shx_empty", shp, b"", table(2), 0, 1, "an empty .shx")

shp, shx = build(3, LINES)
case("shx_missing", shp, None, table(2), 0, 1, "no .shx at all")

shp, shx = build(3, [poly(3, [[(1, 1), (2, 2)]], [(1, 1), (2, 2)], nparts=0x7FFFFFFF)])
case("parts_huge", shp, shx, table(1), 1, 1, "a part count of 2^31-1 in a small record", feats=0, recs=1)

shp, shx = build(3, [poly(3, [[(1, 1), (2, 2)]], [(1, 1), (2, 2)], npoints=50 * 1000 * 1000)])
case("points_huge", shp, shx, table(1), 1, 1,
     "a point count of 50 million in a small record (shapelib would allocate 1.6 GB)", feats=0, recs=1)

shp, shx = build(3, [poly(3, [[(1, 1), (2, 2)]], [(1, 1), (2, 2)], nparts=-1)])
case("parts_negative", shp, shx, table(1), 1, 1, "a negative part count", feats=0, recs=1)

shp, shx = build(3, [poly(3, [[(1, 1), (2, 2)]], [(1, 1), (2, 2)], npoints=-5)])
case("points_negative", shp, shx, table(1), 1, 1, "a negative point count", feats=0, recs=1)

shp, shx = build(3, [poly(3, [[(1, 1), (2, 2)]], [(1, 1), (2, 2)], npoints=3)])
case("points_beyond_record", shp, shx, table(1), 1, 1, "one point more than the record holds", feats=0, recs=1)

shp, shx = build(3, [poly(3, [[(1, 1)], [(2, 2)]], [(1, 1), (2, 2)], starts=[0, 7])])
case("part_start_beyond", shp, shx, table(1), 1, 1, "a part start beyond the point count", feats=0, recs=1)

shp, shx = build(3, [poly(3, [[(1, 1)], [(2, 2)]], [(1, 1), (2, 2)], starts=[1, 0])])
case("part_starts_decreasing", shp, shx, table(1), 1, 1, "part starts out of order", feats=0, recs=1)

shp, shx = build(3, [poly(3, [[(NAN, 1), (INF, -INF)]], [(NAN, 1), (INF, -INF)]),
                     poly(3, [[(1, NAN), (2, 2)]], [(1, NAN), (2, 2)])],
                 bounds=(NAN, NAN, INF, INF))
case("nan_inf_coordinates", shp, shx, table(2), 1, 1, "NaN and infinite coordinates and bounds")

shp, shx = build(1, [point(NAN, NAN), point(INF, -INF), point(-0.0, 5)], bounds=(NAN, 0, INF, 5))
case("nan_inf_points", shp, shx, table(3), 1, 1, "NaN and infinite point coordinates", feats=3, recs=3)

shp, shx = build(3, [])
case("zero_records", shp, shx, table(0), 1, 1, "a .shp and .shx with 0 records, a 0-record table", feats=0, recs=0)

shp, shx = build(3, [struct.pack("<i", 77) + b"\0" * 40])
case("unknown_record_type", shp, shx, table(1), 1, 1, "a record of shape type 77", feats=0, recs=1)

shp, shx = build(1, [struct.pack("<id", 1, 5.0)])
case("point_record_short", shp, shx, table(1), 1, 1, "a point record of 12 bytes", feats=0, recs=1)

shp, shx = build(3, LINES)
shp[104:108] = be(0x3FFFFFFF)
case("shp_record_length_huge", shp, shx, table(2), 1, 1,
     "the .shp record header announcing a 2 GB record", feats=1)

shp, shx = build(3, LINES)
shp[24:28] = be(0x7FFFFFFF)
case("shp_header_length_huge", shp, shx, table(2), 1, 1, "the .shp header announcing a 4 GB file")

shp, shx = build(31, [poly(31, [[(0, 0), (1, 0), (1, 1)]], [(0, 0), (1, 0), (1, 1)], extra=b"")])
case("multipatch_without_z", shp, shx, table(1), 1, 1, "a multipatch record without part types and Z", feats=0, recs=1)

shp, shx = build(8, [struct.pack("<i4di", 8, 0, 0, 1, 1, 1000)])
case("multipoint_count_beyond", shp, shx, table(1), 1, 1, "a multipoint count beyond the record", feats=0, recs=1)

shp, shx = build(3, LINES)
shx = shx + b"\0\0\0"
case("shx_odd_size", shp, shx, table(2), 1, 1, "a .shx with trailing bytes")

shp, shx = build(3, LINES)
shp[32:36] = struct.pack("<i", 2)
case("unknown_file_type", shp, shx, table(2), 1, 1,
     "a .shp header of shape type 2: reads work, appends are refused (shapelib asserts)")

# --- the .dbf ----------------------------------------------------------------------------
shp, shx = build(3, LINES)
case("dbf_record_length_short", shp, shx, dbf(FIELDS, [["a", "1", "1.0", "T"]] * 2, record_len=8),
     1, 0, "a record length of 8 bytes for fields of 31 bytes")

shp, shx = build(3, LINES)
case("dbf_truncated", shp, shx, table(2)[:-30], 1, 1, "a table cut inside its last record", recs=1)

shp, shx = build(3, LINES)
case("dbf_count_huge", shp, shx, dbf(FIELDS, [["a", "1", "1.0", "T"]], n_records=0x7FFFFFFF), 1, 1,
     "a table announcing 2^31-1 records, holding one", recs=1)

shp, shx = build(3, LINES)
case("dbf_count_negative", shp, shx, dbf(FIELDS, [["a", "1", "1.0", "T"]], n_records=0xFFFFFFFF), 1, 1,
     "a table announcing -1 records", recs=1)

shp, shx = build(3, LINES)
case("dbf_header_length_huge", shp, shx, dbf(FIELDS, [], header_len=0xFFFF), 1, 0,
     "a header length beyond the file")

shp, shx = build(3, LINES)
case("dbf_header_length_small", shp, shx, dbf(FIELDS, [], header_len=8), 1, 0,
     "a header length below 32")

shp, shx = build(3, LINES)
case("dbf_header_short", shp, shx, table(2)[:20], 1, 0, "a table shorter than its header")

shp, shx = build(3, LINES)
case("dbf_zero_records", shp, shx, table(0), 1, 1, "a table with fields and 0 records", recs=0)

shp, shx = build(3, LINES)
case("dbf_no_terminator", shp, shx, dbf(FIELDS, [["a", "1", "1.0", "T"]] * 2, terminator=False),
     1, 1, "field descriptors without the 0x0D terminator")

shp, shx = build(3, LINES)
case("dbf_wide_field", shp, shx, dbf([("BIG", "C", 255, 255)], [["x" * 255]] * 2, record_len=40),
     1, 0, "a 65535-byte text field in a 40-byte record")

shp, shx = build(3, LINES)
case("dbf_empty", shp, shx, b"", 1, 0, "an empty .dbf")

with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "expected.txt"), "w") as f:
    f.write("# case, KC_OpenShpFile, KC_OpenDBFFile, features KC_ReadFeature reads, records\n"
            "# KC_ReadDBF reads (- when the file does not open), description\n")
    for name, s, d, feats, recs, what in cases:
        f.write("%s %s %s %s %s %s\n" % (name, s, d, feats, recs, what))
print("wrote %d cases" % len(cases))
