"""Loading: velmo_yaml against json.loads and PyYAML's C loader on the same data, in one run."""

import gc
import json
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))

import velmo_yaml  # noqa: E402
import yaml  # noqa: E402

from corpus import corpus, best_of  # noqa: E402


def main():
    data, yaml_text, json_text = corpus(int(os.environ.get("BENCH_BYTES", 10 * 1024 * 1024)))
    assert velmo_yaml.safe_load(yaml_text) == json.loads(json_text) == data
    # Only the texts stay alive, so that no loader pays for the cyclic collector walking the generated data.
    del data
    gc.collect()
    mb = len(yaml_text.encode()) / 1e6
    print(f"load benchmark: YAML {mb:.1f} MB, JSON {len(json_text) / 1e6:.1f} MB (same data)")
    t_json = best_of(lambda: json.loads(json_text), 5)
    t_safe = best_of(lambda: velmo_yaml.safe_load(yaml_text), 5)
    t_parse = best_of(lambda: velmo_yaml.parse(yaml_text), 5)
    small = yaml_text[: len(yaml_text) // 20]
    small = small[: small.rfind("\n- ") + 1]
    t_pyyaml_small = best_of(lambda: yaml.load(small, Loader=yaml.CSafeLoader), 1)
    t_pyyaml = t_pyyaml_small * len(yaml_text) / len(small)
    t_safe_small = best_of(lambda: velmo_yaml.safe_load(small), 3)
    print(f"  json.loads               {t_json * 1e3:8.1f} ms")
    print(f"  velmo_yaml.safe_load     {t_safe * 1e3:8.1f} ms   {t_safe / t_json:5.2f} x json.loads (goal <= 1.5)")
    print(f"  velmo_yaml.parse         {t_parse * 1e3:8.1f} ms   {t_parse / t_json:5.2f} x json.loads (goal <= 0.6)")
    print(f"  PyYAML CSafeLoader       {t_pyyaml * 1e3:8.1f} ms   (timed on {len(small) / 1e6:.1f} MB, scaled)")
    print(f"  PyYAML CSafeLoader / safe_load on the same {len(small) / 1e6:.1f} MB: "
          f"{t_pyyaml_small / t_safe_small:5.1f} x (goal >= 20)")


if __name__ == "__main__":
    main()
