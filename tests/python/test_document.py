import pytest

import velmo_yaml as vy


def test_class_docstring_and_no_constructor():
    assert vy.YamlDocument.__doc__ == (
        "Round-trip editable YAML document with transaction support, path editing, and source preservation."
    )
    with pytest.raises(TypeError):
        vy.YamlDocument()


@pytest.mark.parametrize(
    "method,doc",
    [
        ("__getitem__", "Access a child node by key (mapping) or index (sequence)."),
        ("__contains__", "Check if a key exists in the mapping."),
        ("__len__", "Return the number of mapping entries or sequence length."),
        ("__iter__", "Return an iterator over keys (mapping) or values (sequence)."),
        ("get", "Access a value by top-level mapping key, returning `default` if not found.\n"
                "Path-based access is available via `find()` / `node()`."),
        ("source", "Return the current YAML source string."),
        ("flush_source", "Lazily re-serialize the AST into `source` if edits have occurred."),
        ("to_dict", "Convert the document to a Python dict/list, resolving anchor references."),
        ("version", "Return the YAML version string."),
        ("root_type", "Return the root node type: `scalar`/`mapping`/`sequence`/`null`/`alias`."),
        ("_revision", "Return the current revision number (incremented on each edit)."),
        ("_walk_paths", "Walk the AST depth-first, returning a list of path tuples.\n"
                        "Each path tuple contains strings (mapping keys) and ints (sequence indices).\n"
                        "The first element is always the root node (empty path)."),
        ("_scalar_paths", "Walk only scalar/null nodes, returning their path tuples."),
    ],
)
def test_method_docstrings(method, doc):
    assert getattr(vy.YamlDocument, method).__doc__ == doc


def test_mapping_access():
    doc = vy.parse('a: 1\n"b": 2\n# about c\nc: 3\n1: one\nlist: [x, {y: 2}]\n')
    assert doc["a"] == 1
    assert doc["1"] == "one"
    assert doc["list"] == ["x", {"y": 2}]
    # Direct lookup only finds plain keys without comment, anchor or tag.
    for missing in ("b", "c"):
        with pytest.raises(KeyError) as info:
            doc[missing]
        assert info.value.args == (f"Key '{missing}' not found",)
        assert missing not in doc
        assert doc.get(missing) is None
    assert doc.get("zzz", 5) == 5
    assert doc.get("a", 5) == 1
    assert "a" in doc
    with pytest.raises(vy.YamlTypeError) as info:
        doc[1]
    assert str(info.value) == "Key must be a string"
    with pytest.raises(TypeError):
        1 in doc
    assert len(doc) == 5
    # Keys are converted like values: the plain key 1 iterates as the int 1.
    assert list(doc) == ["a", "b", "c", 1, "list"]


def test_sequence_access():
    doc = vy.parse("- a\n- 2\n- [3]\n")
    assert doc[0] == "a"
    assert doc[2] == [3]
    assert len(doc) == 3
    assert list(doc) == ["a", 2, [3]]
    with pytest.raises(vy.YamlTypeError) as info:
        doc[-1]
    assert str(info.value) == "Index must be an integer"
    with pytest.raises(vy.YamlTypeError):
        doc["0"]
    with pytest.raises(IndexError) as info:
        doc[3]
    assert info.value.args == ("Index 3 out of range (len=3)",)
    assert "a" not in doc


def test_localized_access_errors():
    doc = vy.parse("- a\n")
    vy.set_language("zh-CN")
    with pytest.raises(IndexError) as info:
        doc[5]
    assert str(info.value) == "索引 5 超出范围（长度=1）"


@pytest.mark.parametrize("text,root_type", [("x", "scalar"), ("", "null"), ("a: 1", "mapping"), ("[1]", "sequence")])
def test_scalar_like_roots(text, root_type):
    doc = vy.parse(text)
    assert doc.root_type() == root_type
    if root_type in ("scalar", "null"):
        assert len(doc) == 0
        assert list(doc) == []
        with pytest.raises(vy.YamlTypeError) as info:
            doc["a"]
        assert str(info.value) == "YamlDocument is not subscriptable"


def test_iteration_is_a_snapshot():
    doc = vy.parse("a: 1\nb: 2\n")
    it = iter(doc)
    assert next(it) == "a"
    assert list(it) == ["b"]


def test_aliases_in_selected_nodes_expand():
    doc = vy.parse("base: &b {x: 1}\nuse: *b\n", resolve_merges=False)
    assert doc["use"] == {"x": 1}
    assert doc.to_dict() == {"base": {"x": 1}, "use": {"x": 1}}


def test_source_version_revision():
    text = "%YAML 1.1\n---\na: 1\n"
    doc = vy.parse(text)
    assert doc.source() == text
    assert doc.flush_source() is None
    assert doc.version() == "1.2"
    assert doc._revision() == 0


def test_walk_paths():
    doc = vy.parse("a: [x, {b: 1}]\n")
    assert doc._walk_paths() == [(), ("a",), ("a", 0), ("a", 1), ("a", 1, "b")]
    assert doc._scalar_paths() == [("a", 0), ("a", 1, "b")]
    doc = vy.parse("[a, b]: 1\nc: ~\nd: *x\n".replace("*x", "&x 2"))
    assert doc._walk_paths() == [(), ("c",), ("d",)]
    assert doc._scalar_paths() == [("c",), ("d",)]
    assert vy.parse("")._scalar_paths() == [()]


def test_documents_share_the_stream_text():
    docs = vy.parse_all_docs("a: 1\n---\n- b\n")
    assert [d.root_type() for d in docs] == ["mapping", "sequence"]
    assert docs[1][0] == "b"


def test_access_guard_refuses_at_once_while_another_thread_writes_the_document():
    # to_yaml holds exclusive access and serializes with the interpreter lock released, so readers on other
    # threads are refused (never blocked) while it runs.
    import threading
    import time

    text = "".join(f"key{i}: [{i}, text {i}, {{nested: {i}}}]\n" for i in range(100_000))
    doc = vy.parse(text)
    done = threading.Event()

    def writer():
        while not done.is_set():
            doc.to_yaml()

    t = threading.Thread(target=writer)
    t.start()
    refusals = []
    deadline = time.monotonic() + 20
    try:
        while not refusals and time.monotonic() < deadline:
            try:
                doc.get("key1")
            except RuntimeError as exc:
                refusals.append(exc)
    finally:
        done.set()
        t.join()
    assert refusals, "no reader was refused while the document was being written"
    assert refusals[0].args == ("Already mutably borrowed",)
    assert doc.get("key1") == [1, "text 1", {"nested": 1}]
    assert doc.source() == text
