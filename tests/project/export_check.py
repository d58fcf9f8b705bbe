#!/usr/bin/env python3
"""Reads an export with a parser that is not ours and prints what it found, one value a line:
"points N", "lines M", then every coordinate (points first, then each line's two ends) as Python
reads it. Exit 77 when the DXF library is missing, 1 when the file is malformed."""
import csv
import sys


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


def read_csv(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f))
    points = [r for r in rows if r["kind"] == "point"]
    lines = [r for r in rows if r["kind"] == "line"]
    if len(points) + len(lines) != len(rows):
        fail("unknown kind")
    coords = [float(r[k]) for r in points for k in ("x", "y", "z")]
    for r in points:
        if r["x2"] or r["y2"] or r["z2"]:
            fail("a point row has a second end")
    coords += [float(r[k]) for r in lines for k in ("x", "y", "z", "x2", "y2", "z2")]
    return len(points), len(lines), coords


def read_ply(path):
    with open(path, "rb") as f:
        data = f.read().decode("ascii")
    header, sep, body = data.partition("end_header\n")
    if not sep:
        fail("no end_header")
    head = header.splitlines()
    if head[0] != "ply" or head[1] != "format ascii 1.0":
        fail("not an ASCII PLY")
    elements = []
    for line in head[2:]:
        words = line.split()
        if words[0] == "element":
            elements.append([words[1], int(words[2]), []])
        elif words[0] == "property":
            elements[-1][2].append((words[1], words[-1]))
        elif words[0] != "comment":
            fail("unknown header line " + line)
    if [e[0] for e in elements] != ["vertex", "edge"]:
        fail("elements are not vertex, edge")
    rows = [r.split() for r in body.splitlines()]
    nv, ne = elements[0][1], elements[1][1]
    if len(rows) != nv + ne:
        fail("element counts do not match the body")
    vertices = [[float(v) for v in r] for r in rows[:nv]]
    edges = [[int(v) for v in r] for r in rows[nv:]]
    if any(len(v) != len(elements[0][2]) for v in vertices) or any(len(e) != 2 for e in edges):
        fail("row length differs from its properties")
    used = {i for e in edges for i in e}
    if any(i < 0 or i >= nv for i in used):
        fail("edge index out of range")
    points = nv - 2 * ne
    coords = [c for v in vertices[:points] for c in v]
    coords += [c for e in edges for i in e for c in vertices[i]]
    return points, ne, coords


def read_obj(path):
    vertices, lines = [], []
    with open(path) as f:
        for line in f:
            words = line.split()
            if not words or words[0] == "#":
                continue
            if words[0] == "v":
                vertices.append([float(w) for w in words[1:4]])
            elif words[0] == "l":
                lines.append([int(w) - 1 for w in words[1:]])
            else:
                fail("unexpected statement " + words[0])
    points = len(vertices) - 2 * len(lines)
    coords = [c for v in vertices[:points] for c in v]
    coords += [c for l in lines for i in l for c in vertices[i]]
    return points, len(lines), coords


def read_dxf(path):
    try:
        import ezdxf
    except ImportError:
        sys.exit(77)
    doc = ezdxf.readfile(path)
    if doc.dxfversion != "AC1009":
        fail("not R12: " + doc.dxfversion)
    msp = doc.modelspace()
    points = list(msp.query("POINT"))
    lines = list(msp.query("LINE"))
    if any(p.dxf.layer != "POINTS" for p in points) or any(l.dxf.layer != "LINES" for l in lines):
        fail("entity on the wrong layer")
    if "POINTS" not in doc.layers or "LINES" not in doc.layers:
        fail("layer table lacks POINTS or LINES")
    coords = [c for p in points for c in p.dxf.location]
    coords += [c for l in lines for c in (*l.dxf.start, *l.dxf.end)]
    return len(points), len(lines), coords


def main():
    kind, path = sys.argv[1], sys.argv[2]
    readers = {"csv": read_csv, "ply": read_ply, "obj": read_obj, "dxf": read_dxf}
    points, lines, coords = readers[kind](path)
    print("points", points)
    print("lines", lines)
    for c in coords:
        print(repr(c))


main()
