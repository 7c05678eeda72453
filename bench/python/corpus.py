"""A generated corpus of configuration-like data, written as YAML and as JSON with the same content."""

import json
import random
import time


def make_data(target_bytes: int, seed: int = 7):
    rng = random.Random(seed)
    words = ["alpha", "beta", "gamma", "delta", "nginx", "redis", "frontend", "backend", "worker", "cache",
             "metrics", "prod", "staging", "us-east-1", "eu-west-2", "v1", "v2", "stable", "canary"]
    items = []
    size = 0
    i = 0
    while size < target_bytes:
        name = f"{rng.choice(words)}-{i}"
        item = {
            "apiVersion": "apps/v1",
            "kind": "Deployment",
            "metadata": {
                "name": name,
                "namespace": rng.choice(words),
                "labels": {"app": name, "tier": rng.choice(words), "release": rng.choice(words)},
                "annotations": {"description": " ".join(rng.choice(words) for _ in range(8)),
                                "checksum": "%032x" % rng.getrandbits(128)},
            },
            "spec": {
                "replicas": rng.randint(1, 20),
                "paused": rng.random() < 0.1,
                "ratio": round(rng.random() * 100, 3),
                "selector": {"matchLabels": {"app": name}},
                "containers": [
                    {
                        "name": f"{name}-c{k}",
                        "image": f"registry.example.com/{rng.choice(words)}:{rng.randint(1, 99)}.{rng.randint(0, 9)}",
                        "args": [f"--{rng.choice(words)}={rng.randint(0, 1000)}" for _ in range(3)],
                        "ports": [{"containerPort": rng.randint(1000, 9000), "protocol": "TCP"}],
                        "env": [{"name": "MODE", "value": rng.choice(words)},
                                {"name": "LIMIT", "value": str(rng.randint(1, 100))}],
                        "resources": {"limits": {"cpu": "500m", "memory": "128Mi"}},
                    }
                    for k in range(rng.randint(1, 3))
                ],
                "script": "set -e\necho starting %s\nexec run --port %d\n" % (name, rng.randint(1000, 9000)),
                "optional": None,
            },
        }
        items.append(item)
        size += 1100
        i += 1
    return {"items": items}


def _scalar(v):
    if v is None:
        return "null"
    if v is True:
        return "true"
    if v is False:
        return "false"
    if isinstance(v, (int, float)):
        return repr(v)
    if "\n" in v:
        raise ValueError("block scalar")
    hexlike = all(c in "0123456789abcdef" for c in v)
    if v.startswith("--") or ":" in v or hexlike or v in ("true", "false", "null"):
        return json.dumps(v)
    if v.isalnum() and len(v) < 6:
        return "'" + v + "'"
    return v


def to_yaml(data) -> str:
    """Block YAML with comments, flow collections for short lists, quoted and block scalars."""
    out = ["# generated corpus\n"]

    def emit(value, indent, in_seq=False):
        pad = " " * indent
        if isinstance(value, dict):
            first = True
            for k, v in value.items():
                lead = "" if (in_seq and first) else pad
                first = False
                if isinstance(v, dict) and v:
                    out.append(f"{lead}{k}:\n")
                    emit(v, indent + 2)
                elif isinstance(v, list) and v and all(isinstance(x, str) for x in v):
                    out.append(f"{lead}{k}: [" + ", ".join(json.dumps(x) for x in v) + "]\n")
                elif isinstance(v, list) and v:
                    out.append(f"{lead}{k}:  # {len(v)} entries\n")
                    emit(v, indent)
                elif isinstance(v, str) and "\n" in v:
                    out.append(f"{lead}{k}: |\n")
                    for line in v.splitlines():
                        out.append(f"{pad}  {line}\n")
                else:
                    out.append(f"{lead}{k}: {_scalar(v)}\n")
        else:
            for v in value:
                out.append(f"{pad}- ")
                if isinstance(v, dict):
                    emit(v, indent + 2, in_seq=True)
                else:
                    out.append(_scalar(v) + "\n")

    emit(data, 0)
    return "".join(out)


def corpus(target_bytes: int = 10 * 1024 * 1024):
    data = make_data(target_bytes)
    return data, to_yaml(data), json.dumps(data)


def best_of(fn, runs):
    """The shortest of `runs` timed calls of `fn`, in seconds."""
    best = float("inf")
    for _ in range(runs):
        t = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t)
    return best
