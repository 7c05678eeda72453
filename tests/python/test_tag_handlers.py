import pytest

import velmo_yaml as vy


@pytest.fixture(autouse=True)
def empty_registry():
    vy.clear_tag_handlers()
    yield
    vy.clear_tag_handlers()


def test_handler_rewrites_tagged_scalars():
    vy.register_tag("!upper", lambda s: s.upper())
    assert vy.safe_load("a: !upper hello\nb: hello\n") == {"a": "HELLO", "b": "hello"}


def test_replacement_is_resolved_by_the_schema():
    vy.register_tag("!n", lambda s: "42")
    assert vy.safe_load("- !n x\n- !n 'x'\n") == [42, "42"]


def test_priority_order_and_skip():
    calls = []

    def low(s):
        calls.append("low")
        raise vy.YamlTagSkip()

    def high(s):
        calls.append("high")
        return "from-high"

    vy.register_tag("!t", high, 5)
    vy.register_tag("!t", low, 1)
    assert vy.safe_load("!t x") == "from-high"
    assert calls == ["low", "high"]


def test_equal_priorities_in_registration_order_and_all_skip():
    calls = []

    def make(name):
        def handler(s):
            calls.append(name)
            raise vy.YamlTagSkip()
        return handler

    vy.register_tag("!t", make("first"))
    vy.register_tag("!t", make("second"))
    assert vy.safe_load("!t x") == "x"
    assert calls == ["first", "second"]


def test_handler_errors():
    vy.register_tag("!bad", lambda s: 42)
    with pytest.raises(vy.YamlTagError) as info:
        vy.safe_load("a: !bad x")
    assert str(info.value) == "Tag handler '!bad' must return a string"
    vy.register_tag("!boom", lambda s: 1 / 0)
    with pytest.raises(vy.YamlTagError) as info:
        vy.safe_load("a: !boom x")
    assert str(info.value) == "Tag handler '!boom' failed: ZeroDivisionError: division by zero"


@pytest.mark.parametrize("priority", [-1, 2**32, 10**30])
def test_priority_range(priority):
    with pytest.raises(OverflowError, match="out of range integral type conversion attempted"):
        vy.register_tag("!x", str.upper, priority)
    assert vy.safe_load("!x a") == "a"


def test_priority_type():
    with pytest.raises(TypeError):
        vy.register_tag("!x", str.upper, 1.5)


def test_remove_and_clear():
    assert vy.remove_tag("!never-registered") is None
    vy.register_tag("!u", str.upper)
    vy.remove_tag("!u")
    assert vy.safe_load("!u a") == "a"
    vy.register_tag("!u", str.upper)
    vy.clear_tag_handlers()
    assert vy.safe_load("!u a") == "a"


def test_tag_text_is_matched_exactly():
    vy.register_tag("tag:yaml.org,2002:str", lambda s: "long")
    vy.register_tag("!!int", lambda s: "7")
    assert vy.safe_load("- !!str a\n- !!int b\n") == ["a", 7]


def test_which_entry_points_run_handlers(tmp_path):
    vy.register_tag("!u", str.upper)
    text = "a: !u x\n"
    path = tmp_path / "t.yaml"
    path.write_text(text)
    assert vy.safe_load(text) == {"a": "X"}
    assert vy.parse(text).to_dict() == {"a": "X"}
    assert vy.parse_file(str(path)).to_dict() == {"a": "X"}
    assert vy.YAML().parse(text).to_dict() == {"a": "X"}
    assert vy.safe_loads(text) == [{"a": "x"}]
    assert vy.parse_all_docs(text)[0].to_dict() == {"a": "x"}
    assert vy.YAML().safe_load(text) == {"a": "x"}
    assert vy.YAML().safe_loads(text) == [{"a": "x"}]
    assert vy.YAML().parse_file(str(path)).to_dict() == {"a": "x"}


def test_keys_and_collections_are_not_offered():
    seen = []
    vy.register_tag("!t", lambda s: seen.append(s) or s)
    vy.safe_load("!t k: v\nseq: !t [a]\n")
    assert seen == []


def test_handler_may_change_the_registry():
    def once(s):
        vy.remove_tag("!t")
        return s + "!"

    vy.register_tag("!t", once)
    assert vy.safe_load("- !t a\n- !t b\n") == ["a!", "b"]
