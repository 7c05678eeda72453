"""from_json, the streaming writers, and YamlDocument's output methods."""

import inspect
import json
import os

import pytest

import velmo_yaml as vy


class Collect:
    def __init__(self):
        self.chunks = []

    def write(self, s):
        assert isinstance(s, str)
        self.chunks.append(s)

    @property
    def text(self):
        return "".join(self.chunks)


def test_signatures_and_docstrings():
    expected = [
        (vy.YAML.dump_stream, "($self, /, file_obj, iterable, explicit_start=False, explicit_end=False, sort_keys=False)",
         "Streaming writer: serialize documents to `file_obj` (write(str)), constant memory."),
        (vy.YAML.dump_file, "($self, /, path, iterable, explicit_start=False, explicit_end=False, sort_keys=False)",
         "Streaming writer: serialize documents to `path` (native file handle, no GIL blocking)."),
        (vy.YamlDocument.to_yaml, "($self, /)", "Serialize the document to a YAML string (default 2-space indent)."),
        (vy.YamlDocument.to_yaml_with_options,
         "($self, /, indent_size=2, explicit_start=False, explicit_end=False, sort_keys=False, max_depth=1000, "
         "width=80, indent_mapping=None, indent_sequence=None, indent_offset=None)",
         "Serialize with customizable indent, sorting, and explicit start/end markers."),
        (vy.YamlDocument.to_json, "($self, /, indent=2)", "Serialize to a JSON string (via Python `json.dumps`)."),
        (vy.YamlDocument.__repr__, "($self, /)", "Return a `YamlDocument(...)` representation."),
        (vy.YamlDocument.__str__, "($self, /)", "Return the YAML string representation."),
    ]
    for method, signature, doc in expected:
        assert method.__doc__ == doc
        assert method.__text_signature__ == signature


# --- from_json

FROM_JSON = [
    ('{"b": 1, "a": 2}', "a: 2\nb: 1\n"),
    ("1.0", "1\n"),
    ("18446744073709551615", "18446744073709552000\n"),
    ('"true"', '"true"\n'),
    ('{"a": "a: b", "n": null, "l": [1, {"x": []}]}', 'a: "a: b"\nl:\n  - 1\n  - \n    x:\n      []\nn: null\n'),
    ('{"k": 1, "k": 2}', "k: 2\n"),
    ("  [ ]\r\n\t", "[]\n"),
]


@pytest.mark.parametrize("json_text, yaml_text", FROM_JSON)
def test_from_json(json_text, yaml_text):
    out = vy.from_json(json_text)
    assert out == yaml_text
    value = json.loads(json_text)
    if not (isinstance(value, int) and value >= 2**63):
        assert vy.safe_load(out) == value


@pytest.mark.parametrize("json_text, start", [
    ("[1, 2] x", "trailing characters at line 1 column 8"),
    ('{"a": }', "expected value at line 1 column 7"),
    ("", "EOF while parsing a value"),
    ("[" * 129 + "]" * 129, "recursion limit exceeded"),
])
def test_from_json_errors(json_text, start):
    with pytest.raises(vy.YamlParseError) as info:
        vy.from_json(json_text)
    assert str(info.value).startswith(start)
    assert len(info.value.args) == 1


def test_from_json_nesting_up_to_the_limit():
    assert vy.from_json("[" * 128 + "]" * 128).count("-") == 127


# --- streaming writers

DOCS = [{"a": 1}, ["x", "y"], "b"]
STREAM_CASES = [
    ({}, "a: 1\n---\n- x\n- y\n---\nb\n"),
    ({"explicit_start": True}, "---\na: 1\n---\n- x\n- y\n---\nb\n"),
    ({"explicit_end": True}, "a: 1\n---\n- x\n- y\n---\nb\n...\n"),
    ({"explicit_start": True, "explicit_end": True}, "---\na: 1\n---\n- x\n- y\n---\nb\n...\n"),
]


@pytest.mark.parametrize("flags, text", STREAM_CASES)
def test_dump_stream_layout(flags, text, tmp_path):
    sink = Collect()
    assert vy.YAML().dump_stream(sink, iter(DOCS), **flags) is None
    assert sink.text == text
    path = tmp_path / "s.yaml"
    assert vy.YAML().dump_file(str(path), DOCS, **flags) is None
    assert path.read_text() == text
    assert vy.safe_loads(text) == DOCS


def test_empty_iterable_writes_nothing(tmp_path):
    sink = Collect()
    vy.YAML().dump_stream(sink, [], explicit_start=True, explicit_end=True)
    assert sink.chunks == []
    path = tmp_path / "empty.yaml"
    path.write_text("old")
    vy.YAML().dump_file(str(path), [], explicit_start=True, explicit_end=True)
    assert path.read_text() == ""


def test_documents_in_a_stream_are_written_from_their_tree():
    doc = vy.parse("# comment\nk: [1, 2]   # trailing\n")
    sink = Collect()
    vy.YAML().dump_stream(sink, [doc, {"z": 1, "a": 2}, doc], sort_keys=True)
    tree_text = doc.to_yaml()
    assert sink.text == tree_text + "---\na: 2\nz: 1\n---\n" + tree_text


def test_trailing_line_feeds_of_an_item_collapse_to_one():
    doc = vy.parse("|+\n  text\n\n\n")
    assert doc.to_yaml() == "|+\n  text\n\n\n"
    sink = Collect()
    vy.YAML().dump_stream(sink, [doc, "next"])
    assert sink.text == "|+\n  text\n---\nnext\n"


def test_no_write_method():
    consumed = []

    def items():
        consumed.append(True)
        yield 1

    with pytest.raises(vy.YamlTypeError, match="^Expected an object with a write\\(\\) method$"):
        vy.YAML().dump_stream(object(), items())
    assert consumed == []


def test_python_writes_come_in_chunks_of_64_kib():
    sink = Collect()
    docs = ({"i": i, "text": "x" * 100} for i in range(5000))
    vy.YAML().dump_stream(sink, docs)
    assert len(sink.chunks) > 2
    assert all(len(c.encode()) >= 65536 for c in sink.chunks[:-1])
    for chunk in sink.chunks:  # whole documents and separators only
        assert chunk.endswith("\n")
    assert vy.safe_loads(sink.text)[4999] == {"i": 4999, "text": "x" * 100}


def test_file_writer_matches_python_writer_on_large_streams(tmp_path):
    docs = [{"i": i, "text": "x" * (i % 300), "deep": [[i]] * 3} for i in range(3000)]
    sink = Collect()
    vy.YAML().dump_stream(sink, docs, explicit_end=True)
    path = tmp_path / "big.yaml"
    vy.YAML().dump_file(str(path), iter(docs), explicit_end=True)
    assert path.read_text() == sink.text
    assert vy.safe_loads(sink.text) == docs


def test_too_deep_document_in_a_stream():
    deep = vy.parse("a: " + "[" * 1200 + "]" * 1200 + "\n", max_depth=5000)
    sink = Collect()
    with pytest.raises(vy.YamlMaxDepthError, match=r"\(max=1000\)$"):
        vy.YAML().dump_stream(sink, ["first", deep])
    assert sink.text == "first\n"


def test_failure_of_an_item_hands_over_what_was_written():
    sink = Collect()
    with pytest.raises(vy.YamlTypeError):
        vy.YAML().dump_stream(sink, [{"a": 1}, {"b": (1,)}])
    assert sink.text == "a: 1\n"


def test_failure_of_the_iterator_hands_over_what_was_written(tmp_path):
    def items():
        yield "first"
        raise KeyError("boom")

    sink = Collect()
    with pytest.raises(KeyError, match="boom"):
        vy.YAML().dump_stream(sink, items())
    assert sink.text == "first\n"
    path = tmp_path / "partial.yaml"
    with pytest.raises(KeyError):
        vy.YAML().dump_file(str(path), items())
    assert path.read_text() == "first\n"


def test_failing_write_method_raises_os_error():
    class Broken:
        def write(self, s):
            raise ValueError("disk full")

    with pytest.raises(OSError) as info:
        vy.YAML().dump_stream(Broken(), [1, 2])
    assert str(info.value) == "Failed to write file: ValueError: disk full"


def test_dump_file_cannot_create(tmp_path):
    with pytest.raises(OSError, match="^Failed to write file: No such file or directory"):
        vy.YAML().dump_file(str(tmp_path / "no" / "dir.yaml"), [1])


def test_document_in_use_cannot_be_streamed():
    doc = vy.parse("a: 1\n")

    def items():
        yield doc
        # Streaming a document from inside its own write is refused by its access guard.
        vy.YAML().dump_stream(Collect(), [doc])
        yield 2

    sink = Collect()
    vy.YAML().dump_stream(sink, items())  # the guard is released once the document is written
    assert sink.text == "a: 1\n---\n2\n"


def test_stream_memory_stays_flat(tmp_path):
    """100,000 documents through dump_stream: the peak resident size does not grow with the document count."""
    import subprocess
    import sys

    script = r"""
import resource, sys
import velmo_yaml as vy

class Discard:
    size = 0
    def write(self, s):
        Discard.size += len(s)

def docs(n):
    for i in range(n):
        yield {"id": i, "name": "document-%d" % i, "tags": ["a", "b", "c"], "text": "y" * 150}

vy.YAML().dump_stream(Discard(), docs(10_000))
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
Discard.size = 0
vy.YAML().dump_stream(Discard(), docs(100_000))
after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
print(before, after, Discard.size)
"""
    env = dict(os.environ)
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=env, check=True).stdout
    before, after, size = map(int, out.split())
    assert size > 20_000_000  # the output is far larger than any growth allowed below
    assert after - before < 4_000  # KiB


# --- YamlDocument output

def test_to_yaml_is_a_fresh_serialization_of_the_tree():
    doc = vy.parse("a:   1\nb: [x,   y]\n")
    assert doc.to_yaml() == "a: 1\nb: [x, y]\n"
    assert str(doc) == "a: 1\nb: [x, y]\n"
    assert repr(doc) == "YamlDocument(a: 1\nb: [x, y]\n)"
    assert repr(vy.parse("a: 1")) == "YamlDocument(a: 1\n)"


def test_to_yaml_with_options():
    doc = vy.parse("b:\n  c: [1]\n  d:\n    - x\na: 1\n")
    assert doc.to_yaml_with_options(indent_size=4) == "b:\n    c: [1]\n    d:\n        - x\na: 1\n"
    assert doc.to_yaml_with_options(sort_keys=True, explicit_start=True, explicit_end=True) == (
        "---\na: 1\nb:\n  c: [1]\n  d:\n    - x\n...\n")
    assert doc.to_yaml_with_options(indent_size=4, indent_mapping=2, indent_sequence=None) == (
        "b:\n  c: [1]\n  d:\n    - x\na: 1\n")
    nested = vy.parse("- - x\n")
    assert nested.to_yaml_with_options(indent_sequence=4) == "- \n    - x\n"
    assert nested.to_yaml_with_options(indent_size=4, indent_sequence=None) == "- \n    - x\n"
    assert nested.to_yaml_with_options(indent_size=4, indent_sequence=3) == "- \n   - x\n"
    assert doc.to_yaml_with_options(indent_offset=None) == doc.to_yaml()
    long = vy.parse("k: " + " ".join(["word"] * 30) + "\n")
    assert "\n" not in long.to_yaml_with_options(width=0).rstrip("\n")
    assert long.to_yaml_with_options(width=20).startswith("k: word word word word\n")


def test_to_yaml_with_options_depth_limit():
    doc = vy.parse("a: 1\n")
    with pytest.raises(vy.YamlMaxDepthError) as info:
        doc.to_yaml_with_options(max_depth=1)
    assert str(info.value) == "Maximum YAML depth exceeded (max=1)"
    assert doc.to_yaml_with_options(max_depth=2) == "a: 1\n"


@pytest.mark.parametrize("kwargs, error", [
    ({"indent_size": -1}, OverflowError),
    ({"width": 1.5}, TypeError),
    ({"explicit_start": 1}, TypeError),
    ({"indent_mapping": "2"}, TypeError),
])
def test_to_yaml_with_options_argument_errors(kwargs, error):
    with pytest.raises(error):
        vy.parse("a: 1\n").to_yaml_with_options(**kwargs)


def test_failures_in_repr_and_str():
    doc = vy.parse("a: " + "[" * 1200 + "]" * 1200 + "\n", max_depth=5000)
    assert repr(doc) == "YamlDocument()"
    assert str(doc) == "YamlDocument(error)"
    with pytest.raises(vy.YamlMaxDepthError):
        doc.to_yaml()


def test_to_json():
    doc = vy.parse("a: 1\n")
    assert doc.to_json() == json.dumps({"a": 1}, indent=2)
    assert doc.to_json(indent=0) == json.dumps({"a": 1}, indent=0)
    anchored = vy.parse("x: &v [1, 2]\ny: *v\n")
    assert json.loads(anchored.to_json()) == {"x": [1, 2], "y": [1, 2]}
    with pytest.raises(OverflowError):
        doc.to_json(indent=-1)
