import inspect
import math
import sys
import threading
import time

import pytest

import velmo_yaml as vy


SIGNATURES = {
    "parse": '(yaml, resolve_merges=True, schema="core", max_depth=1000, allow_duplicate_keys=False)',
    "parse_all_docs": '(yaml, resolve_merges=True, schema="core", max_depth=1000, allow_duplicate_keys=False)',
    "parse_file": '(path, schema="core", max_depth=1000, allow_duplicate_keys=False)',
    "safe_load": '(yaml, schema="core", max_depth=1000, allow_duplicate_keys=False)',
    "safe_loads": '(yaml, schema="core", max_depth=1000, allow_duplicate_keys=False)',
}
DOCSTRINGS = {
    "parse": "Parse a YAML string (str or bytes) and return an editable `YamlDocument`.",
    "parse_all_docs": "Parse a multi-document YAML stream and return all `YamlDocument` objects.",
    "parse_file": "Parse a YAML file and return an editable `YamlDocument`.",
    "safe_load": "Parse YAML into a Python dict/list, resolving anchors and merges.",
    "safe_loads": "Parse a multi-document YAML stream into a list of dicts/lists.",
}


@pytest.mark.parametrize("name", SIGNATURES)
def test_signature_and_docstring(name):
    f = getattr(vy, name)
    assert f.__doc__ == DOCSTRINGS[name]
    assert f.__text_signature__ == SIGNATURES[name]
    assert str(inspect.signature(f)) == SIGNATURES[name].replace('"', "'")


def test_yaml_class_docs():
    assert vy.YAML.__doc__ == "Configured YAML parser instance (rt / safe / full)."
    assert vy.YAML.__text_signature__ == '(typ="rt", schema="core", max_depth=1000, allow_duplicate_keys=False)'
    assert vy.YAML.__init__.__doc__ == "Create a YAML instance; `typ` can be `rt`/`safe`/`full`."
    assert vy.YAML.safe_load.__doc__ == "Parse YAML into a dict/list (resolves anchors and merges)."


@pytest.mark.parametrize(
    "text,expected",
    [
        ("a: 1\nb: [x, 2.5, true, null, ~]\n", {"a": 1, "b": ["x", 2.5, True, None, None]}),
        ("{1: a, true: b, null: c}", {"1": "a", "true": "b", "null": "c"}),
        ("'123'", "123"),
        ("123", 123),
        ("|\n  123\n", "123\n"),
        ("- 0x1F\n- 0o17\n- .inf\n- -.INF\n", [31, 15, math.inf, -math.inf]),
        ("", None),
        ("   \n\t\n", None),
        ("# only a comment\n", None),
        ("a: 1\n---\nb: 2\n", {"b": 2}),
        ("{? [1, 2] : x}", None),  # checked below: the key is the sequence's diagnostic rendering
    ][:-1],
)
def test_safe_load_values(text, expected):
    assert vy.safe_load(text) == expected


def test_non_scalar_key_becomes_its_diagnostic_text():
    (key,) = vy.safe_load("{? [1, 2] : x}").keys()
    assert key.startswith("Sequence { items: [Scalar { value: \"1\"")


def test_failsafe_keeps_plain_scalars_as_text():
    assert vy.safe_load("- 123\n- true\n- null\n", schema="failsafe") == ["123", "true", "null"]
    assert vy.safe_load("- 123\n- true\n", schema="CORE") == [123, True]


def test_unknown_schema():
    with pytest.raises(vy.YamlTypeError) as info:
        vy.safe_load("a: 1", schema="nope")
    assert str(info.value) == "Unsupported schema 'nope'. Supported: core, json, failsafe, yaml1.1"


def test_safe_loads_and_parse_all_docs():
    text = "a: 1\n---\nb: 2\n"
    assert vy.safe_loads(text) == [{"a": 1}, {"b": 2}]
    docs = vy.parse_all_docs(text)
    assert [d.to_dict() for d in docs] == [{"a": 1}, {"b": 2}]
    assert all(d.source() == text for d in docs)
    assert vy.safe_loads("") == []
    assert vy.parse_all_docs("") == []


def test_aliases_expand_to_fresh_objects():
    data = vy.safe_load("base: &b {x: 1}\na: *b\nc: *b\n")
    assert data["a"] == data["c"] == {"x": 1}
    data["a"]["x"] = 2
    assert data["c"] == {"x": 1}


@pytest.mark.parametrize("load", [vy.safe_loads, vy.parse_all_docs])
def test_an_alias_cannot_name_an_anchor_of_an_earlier_document(load):
    with pytest.raises(vy.YamlParseError, match="found unknown anchor"):
        load("a: &x 1\n---\nb: *x\n")


def test_recursive_alias_and_redefined_anchor():
    assert vy.safe_load("&r [1, *r]") == [1, [1, None]]
    assert vy.safe_load("- &a 1\n- *a\n- &a 2\n- *a\n") == [1, 2, 2, 2]


def test_merge_keys():
    text = "base: &b {x: 1, y: 2}\nderived:\n  <<: *b\n  y: 3\n"
    assert vy.safe_load(text)["derived"] == {"x": 1, "y": 3}
    assert vy.YAML(typ="safe").safe_load(text)["derived"] == {"x": 1, "y": 3}
    unmerged = vy.YAML(typ="safe").parse(text).to_dict()["derived"]
    assert "<<" in unmerged
    assert vy.YAML(typ="rt").parse(text).to_dict()["derived"] == {"x": 1, "y": 3}
    assert "<<" in vy.parse(text, resolve_merges=False).to_dict()["derived"]


def test_billion_laughs_fails_fast_with_the_limit_named():
    lines = ['a0: &a0 ["lol","lol","lol","lol","lol","lol","lol","lol","lol","lol"]']
    for i in range(1, 10):
        refs = ",".join(f"*a{i - 1}" for _ in range(10))
        lines.append(f"a{i}: &a{i} [{refs}]")
    text = "\n".join(lines) + "\n"
    with pytest.raises(vy.YamlParseError) as info:
        vy.safe_load(text)
    message = str(info.value)
    assert "alias expansion limit exceeded" in message
    assert "1000000" in message


def test_many_ordinary_aliases_still_load():
    text = "anchor: &x {name: n, values: [1, 2, 3]}\nitems:\n" + "".join("  - *x\n" for _ in range(20000))
    data = vy.safe_load(text)
    assert len(data["items"]) == 20000
    assert data["items"][-1] == {"name": "n", "values": [1, 2, 3]}


@pytest.mark.parametrize(
    "call",
    [
        lambda: vy.safe_load("a: {b: {c: 1}}", max_depth=2),
        lambda: vy.parse("[[[[1]]]]", max_depth=3),
        lambda: vy.YAML(max_depth=1).safe_load("a: {b: 1}"),
    ],
)
def test_max_depth(call):
    with pytest.raises(vy.YamlMaxDepthError) as info:
        call()
    assert str(info.value).startswith("Maximum YAML depth exceeded (max=")


def test_default_depth_message_and_zero_depth():
    with pytest.raises(vy.YamlMaxDepthError) as info:
        vy.safe_load("[" * 1001 + "]" * 1001)
    assert str(info.value) == "Maximum YAML depth exceeded (max=1000)"
    assert vy.safe_load("x", max_depth=0) == "x"


def test_max_depth_argument_conversion():
    with pytest.raises(OverflowError):
        vy.safe_load("a: 1", max_depth=-1)
    with pytest.raises(TypeError):
        vy.safe_load("a: 1", max_depth=1.5)


def test_duplicate_keys():
    with pytest.raises(vy.YamlDuplicateKeyError) as info:
        vy.safe_load("{a: 1, a: 2}")
    assert info.value.args == ("duplicate key: a",)
    assert vy.safe_load("{a: 1, a: 2}", allow_duplicate_keys=True) == {"a": 2}
    assert vy.safe_load('{"a": 1, a: 2}') == {"a": 2}
    assert vy.safe_load("{~: 1, ~: 2}") == {"~": 2}


def test_duplicate_key_message_follows_the_language():
    vy.set_language("ja-JP")
    with pytest.raises(vy.YamlDuplicateKeyError) as info:
        vy.safe_load("a: 1\na: 2\n")
    assert str(info.value) == "重複したキー：a"


def test_syntax_error_message():
    with pytest.raises(vy.YamlParseError) as info:
        vy.safe_load("a: [1, 2\n")
    message = str(info.value)
    assert message.startswith("YAML parse error: ")
    assert " at char " in message
    assert message.rsplit(" column ", 1)[1].isdigit()


def test_deep_nesting_is_an_error_not_a_crash():
    with pytest.raises(vy.YamlMaxDepthError):
        vy.safe_load("[" * 5000 + "]" * 5000)
    # A syntax error takes precedence over the depth limit.
    for text in ("[" * 1_000_000, "[" * 1_000_000 + "]" * 1_000_000, "a:\n" + "  - " * 200_000 + "x\n"):
        with pytest.raises(vy.YamlParseError):
            vy.safe_load(text, max_depth=10**9)


def test_parse_input_kinds():
    assert vy.parse(b"a: 1").to_dict() == vy.parse("a: 1").to_dict() == {"a": 1}
    assert vy.parse(bytearray(b"a: 1")).to_dict() == {"a": 1}
    assert vy.parse(list(b"a: 1")).to_dict() == {"a": 1}
    with pytest.raises(vy.YamlTypeError) as info:
        vy.parse(42)
    assert str(info.value) == "Expected str or bytes"
    with pytest.raises(vy.YamlTypeError):
        vy.parse([97, 256])
    with pytest.raises(TypeError):
        vy.safe_load(b"a: 1")


@pytest.mark.parametrize(
    "data,detail",
    [
        (b"\xff", "invalid utf-8 sequence of 1 bytes from index 0"),
        (b"ab\xe2\x82", "incomplete utf-8 byte sequence from index 2"),
        (b"a\xe2\x28\xa1", "invalid utf-8 sequence of 1 bytes from index 1"),
        (b"a\xf0\x90\x28\xbc", "invalid utf-8 sequence of 2 bytes from index 1"),
        (b"\xf0\x90\x80\x28", "invalid utf-8 sequence of 3 bytes from index 0"),
        (b"\xed\xa0\x80", "invalid utf-8 sequence of 1 bytes from index 0"),
    ],
)
def test_parse_invalid_utf8(data, detail):
    with pytest.raises(vy.YamlParseError) as info:
        vy.parse(data)
    assert str(info.value) == "Invalid UTF-8: " + detail


def test_parse_file(tmp_path):
    path = tmp_path / "doc.yaml"
    path.write_text("a: 1\nb: [x]\n", encoding="utf-8")
    doc = vy.parse_file(str(path))
    assert doc.to_dict() == {"a": 1, "b": ["x"]}
    assert doc.source() == "a: 1\nb: [x]\n"
    assert vy.YAML().parse_file(str(path)).to_dict() == {"a": 1, "b": ["x"]}


def test_parse_file_errors(tmp_path):
    with pytest.raises(OSError) as info:
        vy.parse_file(str(tmp_path / "missing.yaml"))
    assert str(info.value).startswith("Failed to read file: No such file or directory")
    bad = tmp_path / "bad.yaml"
    bad.write_bytes(b"a: \xff\n")
    with pytest.raises(OSError) as info:
        vy.parse_file(str(bad))
    assert str(info.value) == "Failed to read file: stream did not contain valid UTF-8"
    with pytest.raises(vy.YamlTypeError):
        vy.parse_file(str(tmp_path / "missing.yaml"), schema="nope")


def test_yaml_class_validation():
    with pytest.raises(vy.YamlTypeError) as info:
        vy.YAML(typ="RT")
    assert str(info.value) == "Invalid YAML type: 'RT'. Valid types: rt, safe, full"
    with pytest.raises(vy.YamlTypeError) as info:
        vy.YAML(schema="CORE")
    assert str(info.value) == (
        "Invalid schema: 'CORE'. Valid schemas: core, yaml1.1, failsafe, json (plus any registered custom schemas)"
    )
    y = vy.YAML(typ="full", schema="json", max_depth=5, allow_duplicate_keys=True)
    assert y.safe_load("{a: 1, a: 2}") == {"a": 2}
    assert y.safe_loads("a: 1\n---\nb: 2") == [{"a": 1}, {"b": 2}]
    assert len(y.parse_all_docs("a: 1\n---\nb: 2")) == 2
    with pytest.raises(vy.YamlMaxDepthError):
        y.safe_load("[[[[[[1]]]]]]")


def test_parsing_releases_the_interpreter_lock():
    # With a huge switch interval the main thread keeps the lock while it runs Python code, so the other thread
    # can only make progress while a native call has released it.
    text = "items:\n" + "".join(f"  - {{name: item{i}, value: {i}, tags: [a, b, c]}}\n" for i in range(100000))
    ticks = []
    done = threading.Event()

    def count():
        while not done.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0)

    old = sys.getswitchinterval()
    sys.setswitchinterval(1000)
    t = threading.Thread(target=count)
    try:
        t.start()
        start = time.perf_counter()
        vy.parse(text)
        end = time.perf_counter()
    finally:
        done.set()
        sys.setswitchinterval(old)
        t.join()
    assert any(start < tick < end for tick in ticks)
