"""Configuration files as people write them: both load roads agree on them, and documents keep their text."""

import os
from pathlib import Path

import pytest

import velmo_yaml as vy

CORPUS = Path(os.environ.get("VELMO_SHARED_DIR", Path(__file__).resolve().parents[3] / "shared")) / "real-world-yaml"
FILES = sorted(p for p in CORPUS.glob("*/*") if p.suffix in (".yaml", ".yml")) if CORPUS.is_dir() else []

pytestmark = pytest.mark.skipif(not FILES, reason="the real-world YAML corpus is not beside the repository")


def outcome(load):
    try:
        return load()
    except vy.YamlDuplicateKeyError as exc:  # some files really do repeat a key
        return ("duplicate", str(exc))


@pytest.mark.parametrize("path", FILES, ids=[f"{p.parent.name}/{p.name}" for p in FILES])
def test_file_loads_alike_through_values_and_documents(path):
    text = path.read_text(encoding="utf-8")
    for allow in (False, True):
        values = outcome(lambda: vy.safe_loads(text, allow_duplicate_keys=allow))
        documents = outcome(lambda: [d.to_dict() for d in vy.parse_all_docs(text, allow_duplicate_keys=allow)])
        if text.strip():
            assert documents == values
    assert isinstance(values, list)
    assert vy.parse(text, allow_duplicate_keys=True).source() == text
    assert all(d.source() == text for d in vy.parse_all_docs(text, allow_duplicate_keys=True))
