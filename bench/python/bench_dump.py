"""Dumping: velmo_yaml.safe_dump against json.dumps and PyYAML's C dumper on the same data, in one run."""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))

import velmo_yaml  # noqa: E402
import yaml  # noqa: E402

from corpus import make_data, best_of  # noqa: E402


def main():
    data = make_data(int(os.environ.get("BENCH_BYTES", 10 * 1024 * 1024)))
    text = velmo_yaml.safe_dump(data)
    assert velmo_yaml.safe_load(text) == data
    print(f"dump benchmark: {len(data['items'])} items, YAML {len(text) / 1e6:.1f} MB, "
          f"JSON {len(json.dumps(data)) / 1e6:.1f} MB")
    t_json = best_of(lambda: json.dumps(data), 5)
    t_dump = best_of(lambda: velmo_yaml.safe_dump(data), 5)
    t_sorted = best_of(lambda: velmo_yaml.YAML().dump_stream(_Discard(), [data], sort_keys=True), 3)
    json_text = json.dumps(data)
    t_from_json = best_of(lambda: velmo_yaml.from_json(json_text), 3)
    t_loads_dump = best_of(lambda: velmo_yaml.safe_dump(json.loads(json_text)), 3)
    # PyYAML is slow: time it on a twentieth of the items, and velmo_yaml on the same slice.
    small = {"items": data["items"][: max(1, len(data["items"]) // 20)]}
    t_pyyaml_small = best_of(lambda: yaml.dump(small, Dumper=yaml.CSafeDumper), 1)
    t_dump_small = best_of(lambda: velmo_yaml.safe_dump(small), 5)
    print(f"  json.dumps                  {t_json * 1e3:8.1f} ms")
    print(f"  velmo_yaml.safe_dump        {t_dump * 1e3:8.1f} ms   {t_dump / t_json:5.2f} x json.dumps (goal <= 1.5)")
    print(f"  dump_stream, sort_keys      {t_sorted * 1e3:8.1f} ms   {t_sorted / t_json:5.2f} x json.dumps")
    print(f"  velmo_yaml.from_json        {t_from_json * 1e3:8.1f} ms   "
          f"{t_from_json / t_loads_dump:5.2f} x safe_dump(json.loads(text))")
    print(f"  PyYAML CSafeDumper / safe_dump on {len(small['items'])} items: "
          f"{t_pyyaml_small / t_dump_small:5.1f} x (goal >= 20)")


class _Discard:
    def write(self, s):
        pass


if __name__ == "__main__":
    main()
