import os
import subprocess
import sys
import threading

import pytest

import velmo_yaml

SUPPORTED = ["en", "zh-CN", "ja-JP", "ko-KR"]
UNSUPPORTED_EN = 'Unsupported language: \'fr\'. Supported: ["en", "zh-CN", "ja-JP", "ko-KR"]'


def test_list_languages_is_a_new_list_each_call():
    first = velmo_yaml.list_languages()
    assert first == SUPPORTED
    first.append("xx")
    assert velmo_yaml.list_languages() == SUPPORTED


def test_set_language_refusal_is_rendered_in_the_language_before_the_call():
    with pytest.raises(ValueError) as info:
        velmo_yaml.set_language("fr")
    assert str(info.value) == UNSUPPORTED_EN
    assert info.value.args == (UNSUPPORTED_EN,)
    velmo_yaml.set_language("zh-CN")
    with pytest.raises(ValueError) as info:
        velmo_yaml.set_language("fr")
    assert str(info.value) == '不支持的语言：\'fr\'。支持的语言：["en", "zh-CN", "ja-JP", "ko-KR"]'
    assert velmo_yaml.get_language() == "zh-CN"


@pytest.mark.parametrize("bad", ["zh-cn", "zh_CN", "EN", "ja", "", "en-US"])
def test_set_language_accepts_exact_codes_only(bad):
    with pytest.raises(ValueError):
        velmo_yaml.set_language(bad)
    assert velmo_yaml.get_language() == "en"


@pytest.mark.parametrize("code", SUPPORTED)
def test_set_and_get_language(code):
    assert velmo_yaml.set_language(code) is None
    assert velmo_yaml.get_language() == code


@pytest.mark.parametrize("bad", [None, 1, b"en", ["en"]])
def test_set_language_argument_type(bad):
    with pytest.raises(TypeError):
        velmo_yaml.set_language(bad)


def test_set_language_takes_str_subclasses():
    class Code(str):
        pass

    velmo_yaml.set_language(Code("ja-JP"))
    assert velmo_yaml.get_language() == "ja-JP"


def test_thread_language_is_per_thread_messages_are_per_process():
    velmo_yaml.set_language("ko-KR")
    seen = {}

    def other():
        seen["lang"] = velmo_yaml.get_language()
        try:
            velmo_yaml.set_language("fr")
        except ValueError as exc:
            seen["message"] = str(exc)

    t = threading.Thread(target=other)
    t.start()
    t.join()
    assert seen["lang"] == "en"
    assert seen["message"].startswith("지원하지 않는 언어입니다: 'fr'.")


def test_error_rendered_before_a_switch_keeps_its_text():
    with pytest.raises(ValueError) as before:
        velmo_yaml.set_language("xx")
    velmo_yaml.set_language("ja-JP")
    with pytest.raises(ValueError) as after:
        velmo_yaml.set_language("xx")
    assert str(before.value).startswith("Unsupported language: 'xx'")
    assert str(after.value).startswith("サポートされていない言語です：'xx'。")


@pytest.mark.parametrize(
    "locales,default,expected",
    [
        (["de", "ja"], "en", "ja-JP"),
        (["zh-TW"], "en", "zh-CN"),
        (["en-US", "ja-JP"], "en", "en"),
        (["ZH"], "en", "en"),
        (["zh_CN"], "ko-KR", "ko-KR"),
        ([], "fr", "en"),
        (["", "ja"], "en", "en"),
        (("ko",), "en", "ko-KR"),
        (["de"], "ja-JP", "ja-JP"),
    ],
)
def test_negotiate_language(locales, default, expected):
    assert velmo_yaml.negotiate_language(locales, default) == expected


def test_negotiate_language_default_argument():
    assert velmo_yaml.negotiate_language(["de"]) == "en"
    assert velmo_yaml.negotiate_language(["de"], default="ko-KR") == "ko-KR"


@pytest.mark.parametrize("bad", ["ja", 5, None, ["ja", 1], {"ja"}])
def test_negotiate_language_argument_types(bad):
    with pytest.raises(TypeError):
        velmo_yaml.negotiate_language(bad)


def detect_in_subprocess(env_vars):
    env = {k: v for k, v in os.environ.items() if k not in ("PYI18N", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")}
    env.update(env_vars)
    code = (
        "import velmo_yaml\n"
        "before = velmo_yaml.get_language()\n"
        "print(velmo_yaml.detect_language())\n"
        "assert velmo_yaml.get_language() == before == 'en'\n"
    )
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, check=True)
    return out.stdout.decode().strip()


@pytest.mark.parametrize(
    "env_vars,expected",
    [
        ({}, "en"),
        ({"LANGUAGE": "ja:en"}, "ja-JP"),
        ({"LANG": "ja_JP.UTF-8"}, "en"),
        ({"PYI18N": "C", "LANGUAGE": "ko"}, "ko-KR"),
        ({"PYI18N": "xx", "LANGUAGE": "ko"}, "en"),
        ({"PYI18N": "", "LC_ALL": "POSIX", "LC_MESSAGES": " ZH-tw ,ja"}, "zh-CN"),
        ({"LANG": "de_DE, Ja"}, "ja-JP"),
    ],
)
def test_detect_language_from_environment(env_vars, expected):
    assert detect_in_subprocess(env_vars) == expected


def test_detect_language_skips_values_that_are_not_utf8():
    env = {k: v for k, v in os.environ.items() if k not in ("PYI18N", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")}
    env_b = {k.encode(): v.encode() for k, v in env.items()}
    env_b[b"PYI18N"] = b"\xff\xfe"
    env_b[b"LANG"] = b"ko"
    out = subprocess.run(
        [sys.executable, "-c", "import velmo_yaml; print(velmo_yaml.detect_language())"],
        env=env_b, capture_output=True, check=True,
    )
    assert out.stdout.decode().strip() == "ko-KR"


def test_detect_language_changes_nothing():
    velmo_yaml.set_language("ja-JP")
    velmo_yaml.detect_language()
    assert velmo_yaml.get_language() == "ja-JP"
    with pytest.raises(ValueError, match="^サポートされていない言語です"):
        velmo_yaml.set_language("fr")

