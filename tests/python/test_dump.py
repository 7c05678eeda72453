"""The direct dump of Python values: layout, quoting, key order and errors (safe_dump, from_dict, dump_file)."""

import collections
import inspect
import math
import os

import pytest

import velmo_yaml as vy


def test_signatures_and_docstrings():
    expected = {
        "safe_dump": ("(data)", "Serialize a Python dict/list to a YAML string."),
        "from_dict": ("(data)", "Convert a Python dict/list to a YAML string (auto-selects block/flow style)."),
        "dump_file": ("(data, path)", "Serialize a Python object to YAML and write to a file."),
        "from_json": ("(json_str)", "Convert a JSON string to a YAML string."),
    }
    for name, (signature, doc) in expected.items():
        f = getattr(vy, name)
        assert f.__doc__ == doc
        assert str(inspect.signature(f)) == signature


LAYOUT = [
    # The two layout examples: nested collections on the next line, small scalar dicts on the dash line.
    ({"a": 1, "b": [1, 2], "c": {}}, "a: 1\nb:\n  - 1\n  - 2\nc:\n  {}\n"),
    ([{"x": 1, "y": 2}, {"z": [1]}], "- x: 1\n  y: 2\n- \n  z:\n    - 1\n"),
    (None, "null\n"),
    ({}, "{}\n"),
    ([], "[]\n"),
    ("x", "x\n"),
    (True, "true\n"),
    (-7, "-7\n"),
    ({"a": None}, "a: null\n"),
    ({"a": []}, "a:\n  []\n"),
    ([[1, 2], [[3]]], "- \n  - 1\n  - 2\n- \n  - \n    - 3\n"),
    ([{}], "- \n  {}\n"),
    ([{"a": {"b": 1}}], "- \n  a:\n    b: 1\n"),
    ([None, "s", 1.5], "- null\n- s\n- 1.5\n"),
    ({"outer": [{"k": "v", "n": None}]}, "outer:\n  - k: v\n    n: null\n"),
]


@pytest.mark.parametrize("value, text", LAYOUT)
def test_layout(value, text):
    assert vy.safe_dump(value) == text
    assert vy.from_dict(value) == text


SCALARS = [
    # Strings that would read back as something else are quoted; the rest stays plain where it may.
    ("true", '"true"'),
    ("yes", "yes"),
    ("null", '"null"'),
    ("", '""'),
    ("123", '"123"'),
    ("1.5", '"1.5"'),
    ("a: b", '"a: b"'),
    ("x#y", '"x#y"'),
    ("-x", '"-x"'),
    (" lead", '" lead"'),
    ("trail ", '"trail "'),
    ("C:\\path", "'C:\\path'"),
    ("back\\slash", "back\\slash"),
    ("it's", "it's"),
    ("line\nfeed", '"line\\nfeed"'),
    ("tab\there\\", '"tab\\there\\\\"'),
    ("bell\x07", '"bell\\u0007"'),
    ("caf\u00e9", "caf\u00e9"),
    ("nb\u00a0sp", '"nb\u00a0sp"'),
    ("\U0001ffff", '"\\U0001ffff"'),
    # Numbers and the like.
    (1.0, "1.0"),
    (2.5, "2.5"),
    (1e20, "100000000000000000000.0"),
    (-0.0, "-0.0"),
    (math.inf, "inf"),
    (-math.inf, "-inf"),
    (math.nan, "NaN"),
    (2**63 - 1, "9223372036854775807"),
    (-(2**63), "-9223372036854775808"),
    (2**64, "18446744073709552000.0"),
    (False, "false"),
]


@pytest.mark.parametrize("value, text", SCALARS)
def test_scalar_values(value, text):
    assert vy.safe_dump({"k": value}) == f"k: {text}\n"


def test_scalar_values_read_back():
    for value, _ in SCALARS:
        back = vy.safe_load(vy.safe_dump({"k": value}))["k"]
        if isinstance(value, float) and math.isnan(value):
            assert math.isnan(back)
        elif isinstance(value, int) and value >= 2**63:
            assert back == float(value)
        else:
            assert back == value and type(back) is type(value), value


def test_long_plain_text_is_folded_once_after_a_key():
    # The fold takes the last space in the first 80 bytes; the rest continues under the end of that line.
    text = " ".join(["word"] * 40)
    out = vy.safe_dump({"key": text})
    assert out == "key: " + " ".join(["word"] * 16) + "\n" + " " * 84 + " ".join(["word"] * 24) + "\n"
    assert vy.safe_load(out) == {"key": text}


KEYS = [
    ({1: "a"}, "1: a\n"),
    ({None: 1}, "null: 1\n"),
    ({True: 1}, "true: 1\n"),
    ({1.5: 1}, "1.5: 1\n"),
    ({"true": 1}, '"true": 1\n'),
    ({"a b": 1}, "a b: 1\n"),
    ({"k: v": 1}, '"k: v": 1\n'),
    ({"x" * 100: 1}, "x" * 100 + ": 1\n"),
]


@pytest.mark.parametrize("value, text", KEYS)
def test_keys(value, text):
    assert vy.safe_dump(value) == text


def test_keys_too_long_for_an_implicit_key_are_explicit():
    long_key = "k" * 1001
    assert vy.safe_dump({long_key: 1, "b": [1]}) == f"? {long_key}\n: 1\nb:\n  - 1\n"
    assert vy.safe_dump({"x" * 1000: 1}) == "x" * 1000 + ": 1\n"
    assert vy.safe_dump({long_key: {"a": 1}}) == f"? {long_key}\n:\n  a: 1\n"
    assert vy.safe_dump([{"a": 1, long_key: 2}]) == f"- a: 1\n  ? {long_key}\n  : 2\n"
    # Escapes count: 200 bells are 1200 bytes once written.
    bells = "\x07" * 200
    for value in [{long_key: 1, "b": [1]}, {long_key: {"a": 1}}, [{long_key: 1, "a": 2}], {bells: None}]:
        assert vy.safe_load(vy.safe_dump(value)) == value


def test_sort_keys_orders_by_key_text_and_keeps_compact_order():
    stream = _Collect()
    vy.YAML().dump_stream(stream, [{"b": 1, "a": 2, 10: 3, None: 4}], sort_keys=True)
    assert stream.text == "10: 3\na: 2\nb: 1\nnull: 4\n"
    stream = _Collect()
    vy.YAML().dump_stream(stream, [{"z": [{"b": 1, "a": 2}], "9": 0, "10": 1}], sort_keys=True)
    assert stream.text == '"10": 1\n"9": 0\nz:\n  - b: 1\n    a: 2\n'


class _Collect:
    def __init__(self):
        self.chunks = []

    def write(self, s):
        self.chunks.append(s)

    @property
    def text(self):
        return "".join(self.chunks)


class MyDict(dict):
    pass


class MyList(list):
    pass


class MyStr(str):
    pass


class Indexable:
    def __index__(self):
        return 42


class Floatable:
    def __float__(self):
        return 0.25


def test_subclasses_and_number_protocols():
    value = MyDict(a=MyList([MyStr("s"), Indexable(), Floatable()]))
    assert vy.safe_dump(value) == "a:\n  - s\n  - 42\n  - 0.25\n"
    assert vy.safe_dump(collections.OrderedDict([("b", 1), ("a", 2)])) == "b: 1\na: 2\n"


@pytest.mark.parametrize("value", [(1, 2), {1, 2}, b"bytes", object(), {"a": (1,)}, [frozenset()], 10**400])
def test_unsupported_values(value):
    with pytest.raises(vy.YamlTypeError, match="^Unsupported Python type for YAML conversion$"):
        vy.safe_dump(value)


@pytest.mark.parametrize("key", [(1, 2), frozenset([1])])
def test_unsupported_keys(key):
    with pytest.raises(vy.YamlTypeError, match="Unsupported Python type"):
        vy.safe_dump({key: 1})


def nested_lists(levels, inner):
    value = inner
    for _ in range(levels):
        value = [value]
    return value


def test_depth_limit():
    assert vy.safe_dump(nested_lists(999, 1)).endswith("- 1\n")
    with pytest.raises(vy.YamlMaxDepthError) as info:
        vy.safe_dump(nested_lists(1000, 1))
    assert str(info.value) == "Maximum YAML depth exceeded (max=1000)"
    assert info.value.args == ("Maximum YAML depth exceeded (max=1000)",)


def test_self_reference_fails_cleanly():
    loop = []
    loop.append(loop)
    with pytest.raises(vy.YamlMaxDepthError):
        vy.safe_dump(loop)
    d = {}
    d["self"] = d
    with pytest.raises(vy.YamlMaxDepthError):
        vy.safe_dump(d)
    compact = {"a": 1}
    items = [compact]
    compact_holder = {"x": items}
    items.append(compact_holder)
    with pytest.raises(vy.YamlMaxDepthError):
        vy.safe_dump(items)


def test_lone_surrogate_raises_encoding_error():
    with pytest.raises(UnicodeEncodeError):
        vy.safe_dump({"a": "\ud800"})


class Mutating:
    """A value whose float conversion changes the dict being written."""

    def __init__(self, target, action):
        self.target, self.action = target, action

    def __float__(self):
        self.action(self.target)
        return 1.0


def test_dict_changed_while_written():
    d = {"a": None, "b": 2}
    d["a"] = Mutating(d, lambda t: t.__setitem__("c", 3))
    with pytest.raises(RuntimeError, match="^dictionary changed size during iteration$"):
        vy.safe_dump(d)
    d = {"a": None, "b": 2}
    d["a"] = Mutating(d, lambda t: (t.pop("a"), t.__setitem__("z", 1)))
    with pytest.raises(RuntimeError, match="^dictionary keys changed during iteration$"):
        vy.safe_dump(d)


def test_list_shrinking_while_written_is_safe():
    items = [1, None, 3, 4]
    items[1] = Mutating(items, lambda t: t.clear())
    # Only the items the list still holds are written; nothing crashes.
    assert vy.safe_dump(items) == "- 1\n- 1.0\n"


def test_nested_dump_from_python_code_during_a_dump():
    class Reentrant:
        def __float__(self):
            assert vy.safe_dump({"inner": [1, 2]}) == "inner:\n  - 1\n  - 2\n"
            return 0.5

    assert vy.safe_dump({"a": "x" * 1000, "b": Reentrant(), "c": "after"}) == f"a: {'x' * 1000}\nb: 0.5\nc: after\n"


def test_dump_file(tmp_path):
    path = tmp_path / "out.yaml"
    assert vy.dump_file({"a": [1, 2]}, str(path)) is None
    assert path.read_text() == "a:\n  - 1\n  - 2\n"
    vy.dump_file("short", str(path))  # truncates
    assert path.read_text() == "short\n"


def test_dump_file_failures(tmp_path):
    path = tmp_path / "keep.yaml"
    path.write_text("old\n")
    with pytest.raises(vy.YamlTypeError):
        vy.dump_file({"a": (1,)}, str(path))
    assert path.read_text() == "old\n"  # not touched when the value cannot be written
    with pytest.raises(OSError, match="^Failed to write file: No such file or directory"):
        vy.dump_file({"a": 1}, str(tmp_path / "missing" / "x.yaml"))
    with pytest.raises(OSError, match="file name contained an unexpected NUL byte"):
        vy.dump_file({"a": 1}, str(tmp_path / "bad\0name"))
    with pytest.raises(TypeError):
        vy.dump_file({"a": 1}, os.fspath(tmp_path).encode())
