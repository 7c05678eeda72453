import inspect

import pytest

import velmo_yaml

EXCEPTIONS = {
    "YamlParseError": ValueError,
    "YamlSerializeError": ValueError,
    "YamlTagError": ValueError,
    "YamlTagSkip": "YamlTagError",
    "YamlTypeError": TypeError,
    "YamlValidateError": ValueError,
    "YamlEditError": ValueError,
    "YamlPathError": ValueError,
    "YamlMaxDepthError": ValueError,
    "YamlDuplicateKeyError": ValueError,
}


def test_module_docstring():
    assert velmo_yaml.__doc__ == "velmo-yaml: high-performance YAML parsing with perfect round-trip support."


def test_no_version_or_all_and_no_yamlstream():
    assert not hasattr(velmo_yaml, "__version__")
    assert not hasattr(velmo_yaml, "__all__")
    assert not hasattr(velmo_yaml, "YamlStream")


@pytest.mark.parametrize("name,base", EXCEPTIONS.items())
def test_exception_class(name, base):
    cls = getattr(velmo_yaml, name)
    base = getattr(velmo_yaml, base) if isinstance(base, str) else base
    assert cls.__bases__ == (base,)
    assert cls.__module__ == "velmo_yaml"
    assert cls.__qualname__ == name
    assert cls.__doc__ is None
    assert {k for k in vars(cls) if not k.startswith("__")} == set()


def test_exception_hierarchy():
    assert issubclass(velmo_yaml.YamlTagSkip, velmo_yaml.YamlTagError)
    assert issubclass(velmo_yaml.YamlTagError, ValueError)
    assert issubclass(velmo_yaml.YamlTypeError, TypeError)
    assert not issubclass(velmo_yaml.YamlTypeError, ValueError)
    for name in EXCEPTIONS:
        if name != "YamlTypeError":
            assert issubclass(getattr(velmo_yaml, name), ValueError)


def test_public_names_are_exceptions_classes_and_functions_only():
    public = {n for n in dir(velmo_yaml) if not n.startswith("_")}
    for name in public:
        obj = getattr(velmo_yaml, name)
        assert inspect.isclass(obj) or callable(obj), name
    assert set(EXCEPTIONS) <= public


def test_exception_classes_survive_reimport():
    import importlib
    import sys

    before = velmo_yaml.YamlParseError
    del sys.modules["velmo_yaml"]
    try:
        again = importlib.import_module("velmo_yaml")
        assert again.YamlParseError is before
    finally:
        sys.modules["velmo_yaml"] = velmo_yaml
