"""The main job of `make run`: shows what velmo_yaml does on this machine."""

import os
import subprocess
import sys

import velmo_yaml


def show_languages() -> None:
    print("Supported message languages:", velmo_yaml.list_languages())
    print("Current language:", velmo_yaml.get_language())
    print("Language detected from the environment:", velmo_yaml.detect_language())
    print("negotiate_language(['de-DE', 'ja']) ->", velmo_yaml.negotiate_language(["de-DE", "ja"]))


def show_localized_errors() -> None:
    for lang in velmo_yaml.list_languages():
        velmo_yaml.set_language(lang)
        try:
            velmo_yaml.set_language("fr")
        except ValueError as exc:
            print(f"[{lang}] {exc}")
    velmo_yaml.set_language("en")


def show_detection() -> None:
    env = {k: v for k, v in os.environ.items() if k not in ("PYI18N", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")}
    for var, value in [("LANGUAGE", "ja:en"), ("LANG", "ko"), ("PYI18N", "zh-TW")]:
        out = subprocess.run(
            [sys.executable, "-c", "import velmo_yaml; print(velmo_yaml.detect_language())"],
            env={**env, var: value}, capture_output=True, text=True, check=True,
        ).stdout.strip()
        print(f"{var}={value!r}: detect_language() -> {out}")


if __name__ == "__main__":
    show_languages()
    show_localized_errors()
    show_detection()
