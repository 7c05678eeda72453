"""The main job of `make run`: loads a bundled YAML file with velmo_yaml, shows the result, and times the load
next to json.loads and PyYAML on the same data."""

import json
import os
import pprint
import time

import velmo_yaml

HERE = os.path.dirname(os.path.abspath(__file__))


def best_of(fn, runs=30):
    best = float("inf")
    for _ in range(runs):
        t = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t)
    return best


def main():
    path = os.path.join(HERE, "data", "service.yaml")
    with open(path, encoding="utf-8") as f:
        text = f.read()

    data = velmo_yaml.safe_load(text)
    print(f"velmo_yaml.safe_load({os.path.relpath(path)}):")
    pprint.pprint(data, sort_dicts=False, width=100)

    doc = velmo_yaml.parse(text)
    print("\nAs an editable document:", doc.root_type(), "with keys", list(doc))
    print("doc['regions'] ->", doc["regions"])

    # The same data many times over, written back as YAML and as JSON, so that the timings mean something.
    big_data = {"copies": [dict(data, copy=i) for i in range(300)]}
    big_yaml = velmo_yaml.safe_dump(big_data)
    big_json = json.dumps(big_data)
    assert velmo_yaml.safe_load(big_yaml) == json.loads(big_json) == big_data

    t_velmo = best_of(lambda: velmo_yaml.safe_load(big_yaml))
    t_json = best_of(lambda: json.loads(big_json))
    print(f"\nLoading the same data ({len(big_yaml) / 1e3:.0f} kB of YAML), best of 30 runs:")
    print(f"  velmo_yaml.safe_load  {t_velmo * 1e3:8.2f} ms")
    print(f"  json.loads (as JSON)  {t_json * 1e3:8.2f} ms   velmo/json = {t_velmo / t_json:.2f}")
    try:
        import yaml
    except ImportError:
        print("  PyYAML is not installed")
        return
    loader = getattr(yaml, "CSafeLoader", yaml.SafeLoader)
    t_pyyaml = best_of(lambda: yaml.load(big_yaml, Loader=loader), 3)
    print(f"  PyYAML {loader.__name__:<14} {t_pyyaml * 1e3:8.2f} ms   PyYAML/velmo = {t_pyyaml / t_velmo:.1f}")
    velmo_yaml.set_language("ja-JP")
    try:
        velmo_yaml.safe_load("a: 1\na: 2\n")
    except velmo_yaml.YamlDuplicateKeyError as exc:
        print("\nA localized error (ja-JP):", exc)
    velmo_yaml.set_language("en")


if __name__ == "__main__":
    main()
