"""Access to the YAML test suite data that lies beside the repository."""

import json
import math
import os
from pathlib import Path

SUITE = Path(os.environ.get("VELMO_SHARED_DIR", Path(__file__).resolve().parents[3] / "shared")) / "yaml-test-suite"


def cases():
    """Every case folder (cases with numbered sub-folders give one case each), as (id, folder)."""
    out = []
    for top in sorted(SUITE.iterdir()):
        if not top.is_dir():
            continue
        if (top / "in.yaml").exists():
            out.append((top.name, top))
        else:
            for sub in sorted(top.iterdir()):
                if (sub / "in.yaml").exists():
                    out.append((f"{top.name}/{sub.name}", sub))
    return out


def json_documents(path: Path):
    """The JSON values of an in.json file, one per document, written one after another."""
    text = path.read_text(encoding="utf-8")
    decoder = json.JSONDecoder()
    values, i = [], 0
    while True:
        while i < len(text) and text[i].isspace():
            i += 1
        if i >= len(text):
            return values
        value, i = decoder.raw_decode(text, i)
        values.append(value)


def same(a, b):
    """Equal values of the same types; NaN equals NaN."""
    if type(a) is not type(b):
        return False
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    if isinstance(a, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, float) and math.isnan(a):
        return math.isnan(b)
    return a == b
