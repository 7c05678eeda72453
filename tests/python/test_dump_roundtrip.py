"""Round-trip properties of emission: documents through to_yaml, and generated Python values through safe_dump."""

import pytest
from hypothesis import given, settings, strategies as st

import velmo_yaml as vy
from yaml_suite import SUITE, cases, same

SUITE_CASES = [(name, folder) for name, folder in cases() if (folder / "in.json").exists()] if SUITE.is_dir() else []


@pytest.mark.skipif(not SUITE_CASES, reason="the YAML test suite is not beside the repository")
@pytest.mark.parametrize("sort_keys", [False, True], ids=["stored", "sorted"])
@pytest.mark.parametrize("name, folder", SUITE_CASES, ids=[n for n, _ in SUITE_CASES])
def test_suite_documents_survive_to_yaml(name, folder, sort_keys):
    text = (folder / "in.yaml").read_bytes().decode("utf-8")
    try:
        docs = vy.parse_all_docs(text)
    except (vy.YamlParseError, vy.YamlDuplicateKeyError):
        pytest.skip("in.yaml does not load")
    for doc in docs:
        written = doc.to_yaml_with_options(sort_keys=True) if sort_keys else doc.to_yaml()
        if sort_keys and "*" in text and any(str(key).startswith("Alias {") for key in _keys(doc.to_dict())):
            # An alias key loads as its diagnostic text; sorted first, it is written as the node it names so
            # that the text still reads back, and then loads as that node's text.
            vy.safe_load(written)
            continue
        assert same(vy.safe_load(written), doc.to_dict()), written


def _keys(value):
    if isinstance(value, dict):
        for key, item in value.items():
            yield key
            yield from _keys(item)
    elif isinstance(value, list):
        for item in value:
            yield from _keys(item)


@pytest.mark.parametrize("text, written", [
    # The alias sorts first: it takes the anchored node, whose own place becomes the alias.
    ("b: &x [1, 2]\na: *x\n", "a: &x [1, 2]\nb: *x\n"),
    ("z: &x {k: 1}\ny: [*x, *x]\nm: *x\n", "m: &x {k: 1}\ny: [*x, *x]\nz: *x\n"),
    ("b: &x {q: 1}\na: {f: *x}\n", "a: {f: &x {q: 1}}\nb: *x\n"),
    ("b: &x\n  - 1\na:\n  - *x\n", "a:\n  - \n    &x \n    - 1\nb: *x\n"),
    # Already in order, or unsorted (flow mappings keep their order): written as stored.
    ("a: &x 1\nb: *x\n", "a: &x 1\nb: *x\n"),
    ("{b: &x 1, a: *x}", "{b: &x 1, a: *x}\n"),
])
def test_sorting_keeps_anchors_ahead_of_their_aliases(text, written):
    doc = vy.parse(text)
    assert doc.to_yaml_with_options(sort_keys=True) == written
    assert vy.safe_load(written) == doc.to_dict()


# Python values that the direct dump writes and the core schema reads back unchanged.
scalars = (
    st.none()
    | st.booleans()
    | st.integers(min_value=-(2**63), max_value=2**63 - 1)
    | st.floats(allow_nan=False)
    | st.text(st.characters(blacklist_categories=("Cs",)), max_size=30)
    | st.sampled_from(["true", "null", "~", "1.5", "-x", "a: b", "#c", "C:\\p", "it's", " x ", "- a", "...", "---",
                       "[a]", "{b}", "&a", "*a", "!t", "|", ">", "%", "@", "`", "\t", "\r\n", "0x1F", ".inf", "1e3",
                       "x" * 100 + " " + "y" * 10, "a " * 60])
)
# Loading gives every mapping key as a str, so only str keys read back unchanged.
keys = st.text(st.characters(blacklist_categories=("Cs",)), max_size=20) | st.sampled_from(
    ["true", "1", "", " k", "k" * 1001, "\x07" * 200])
values = st.recursive(
    scalars,
    lambda children: st.lists(children, max_size=5) | st.dictionaries(keys, children, max_size=5),
    max_leaves=40,
)


@settings(max_examples=400, deadline=None)
@given(values)
def test_safe_dump_reads_back(value):
    text = vy.safe_dump(value)
    assert same(vy.safe_load(text), value), text


@settings(max_examples=100, deadline=None)
@given(st.lists(values, max_size=5))
def test_dump_stream_reads_back(documents):
    chunks = []

    class Sink:
        def write(self, s):
            chunks.append(s)

    vy.YAML().dump_stream(Sink(), documents)
    text = "".join(chunks)
    if documents:
        assert all(same(a, b) for a, b in zip(vy.safe_loads(text), documents)) and len(vy.safe_loads(text)) == len(
            documents), text
    else:
        assert text == ""


def same_json(a, b):
    """As `same`, except that numbers compare as floats when one is: from_json writes the float 1.0 as 1 and
    7.205759403792251e16 as 72057594037922510, which read back as integers."""
    number = (int, float)
    if isinstance(a, number) and isinstance(b, number) and not isinstance(a, bool) and not isinstance(b, bool):
        return float(a) == float(b) if isinstance(a, float) or isinstance(b, float) else a == b
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same_json(a[k], b[k]) for k in a)
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same_json(x, y) for x, y in zip(a, b))
    return same(a, b)


# Integral floats beyond the 64-bit integer range are written without ".0" and read back as text, so the
# generated floats stay inside it.
json_values = st.recursive(
    st.none() | st.booleans() | st.integers(min_value=-(2**63), max_value=2**63 - 1)
    | st.floats(min_value=-1e18, max_value=1e18) | st.text(max_size=20),
    lambda c: st.lists(c, max_size=4) | st.dictionaries(st.text(max_size=8), c, max_size=4),
    max_leaves=30,
)


@settings(max_examples=200, deadline=None)
@given(json_values)
def test_from_json_reads_back(value):
    import json

    text = json.dumps(value)
    written = vy.from_json(text)
    assert same_json(vy.safe_load(written), json.loads(text)), written
