#!/usr/bin/python3
"""Reads a DXF file with ezdxf, a reader we did not write, and prints what it
found as one JSON object on standard output:

  {"version": "AC1021", "errors": [...], "fixes": [...],
   "layers": [...], "comments": [...],
   "entities": [{"type": "LINE", "layer": "...", "handle": "..", ...}, ...]}

"errors" and "fixes" are what ezdxf's auditor reports. Texts are given as
ezdxf reads them ("raw") and after ezdxf's own decoding of the caret notation
("text"). Numbers are written by Python's repr, which reads back exactly.

Usage: read_dxf.py FILE.dxf
"""
import json
import sys

import ezdxf
from ezdxf.tools.text import caret_decode


def xy(v):
    return [v[0], v[1]]


def describe(e):
    d = {"type": e.dxftype(), "layer": e.dxf.layer, "handle": e.dxf.handle}
    if e.dxf.hasattr("true_color"):
        d["true_color"] = e.dxf.true_color
    t = e.dxftype()
    if t == "POINT":
        d["location"] = xy(e.dxf.location)
    elif t == "LINE":
        d["start"] = xy(e.dxf.start)
        d["end"] = xy(e.dxf.end)
    elif t in ("CIRCLE", "ARC"):
        d["center"] = xy(e.dxf.center)
        d["radius"] = e.dxf.radius
        if t == "ARC":
            d["start_angle"] = e.dxf.start_angle
            d["end_angle"] = e.dxf.end_angle
    elif t == "ELLIPSE":
        d["center"] = xy(e.dxf.center)
        d["major_axis"] = xy(e.dxf.major_axis)
        d["ratio"] = e.dxf.ratio
        d["start_param"] = e.dxf.start_param
        d["end_param"] = e.dxf.end_param
    elif t == "LWPOLYLINE":
        d["closed"] = bool(e.closed)
        d["points"] = [[p[0], p[1]] for p in e.get_points("xy")]
    elif t == "SPLINE":
        d["degree"] = e.dxf.degree
        d["knots"] = list(e.knots)
        d["control_points"] = [xy(p) for p in e.control_points]
    elif t == "TEXT":
        d["insert"] = xy(e.dxf.insert)
        d["height"] = e.dxf.height
        d["rotation"] = e.dxf.rotation
        d["raw"] = e.dxf.text
        d["text"] = caret_decode(e.dxf.text)
        d["style"] = e.dxf.style
    return d


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    doc = ezdxf.readfile(sys.argv[1])
    auditor = doc.audit()
    out = {
        "version": doc.dxfversion,
        "errors": [f"{e.code}: {e.message}" for e in auditor.errors],
        "fixes": [f"{e.code}: {e.message}" for e in auditor.fixes],
        "layers": [layer.dxf.name for layer in doc.layers],
        "styles": {style.dxf.name: style.dxf.font for style in doc.styles},
        "entities": [describe(e) for e in doc.modelspace()],
    }
    with open(sys.argv[1], encoding="utf-8", errors="replace") as f:
        comments = []
        for code, value in zip(f, f):
            if code.strip() != "999":
                break
            comments.append(value.rstrip("\n"))
        out["comments"] = comments
    json.dump(out, sys.stdout, ensure_ascii=False)
    print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
