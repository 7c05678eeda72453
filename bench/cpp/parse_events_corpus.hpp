// A generated YAML corpus for the event parser benchmark: a stream of
// Kubernetes-like documents with nested mappings and sequences, quoted and
// block scalars, flow collections, comments, anchors and aliases.
#pragma once

#include <cstdint>
#include <string>

namespace velmo::bench {

class CorpusRandom {
 public:
  explicit CorpusRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

 private:
  std::uint64_t state_;
};

inline std::string make_event_corpus(std::size_t min_bytes, std::uint64_t seed = 42) {
  static const char* const kWords[] = {"alpha", "bravo",  "charlie", "delta", "echo",   "foxtrot", "golf",
                                       "hotel", "india",  "juliet",  "kilo",  "lima",   "mike",    "november",
                                       "oscar", "papa",   "quebec",  "romeo", "sierra", "tango",   "uniform",
                                       "value", "server", "worker",  "cache", "proxy",  "backend", "frontend"};
  constexpr std::size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
  CorpusRandom rnd(seed);
  auto word = [&] { return std::string(kWords[rnd.below(kWordCount)]); };

  std::string out;
  out.reserve(min_bytes + 4096);
  std::size_t doc = 0;
  while (out.size() < min_bytes) {
    const std::string name = word() + "-" + std::to_string(doc);
    out += "# Deployment " + std::to_string(doc) + "\n";
    out += "---\napiVersion: apps/v1\nkind: Deployment\nmetadata:\n";
    out += "  name: " + name + "  # the service name\n";
    out += "  namespace: \"" + word() + "\"\n";
    out += "  labels: &labels" + std::to_string(doc) + "\n";
    out += "    app: " + word() + "\n    tier: '" + word() + "'\n    version: \"v" + std::to_string(rnd.below(10)) +
           "." + std::to_string(rnd.below(100)) + "\"\n";
    out += "  annotations: {owner: " + word() + ", team: \"" + word() + "\", ticket: " +
           std::to_string(rnd.below(100000)) + "}\n";
    out += "config:\n  replicas: " + std::to_string(1 + rnd.below(9)) + "\n";
    out += "  selector:\n    matchLabels: *labels" + std::to_string(doc) + "\n";
    out += "  template:\n    settings:\n      containers:\n";
    const std::size_t containers = 1 + rnd.below(3);
    for (std::size_t c = 0; c < containers; ++c) {
      out += "        - name: " + word() + "\n";
      out += "          image: \"registry.example.com/" + word() + ":" + std::to_string(rnd.below(50)) + "\"\n";
      out += "          args: [--port, \"" + std::to_string(8000 + rnd.below(1000)) + "\", --verbose, '--mode=" +
             word() + "']\n";
      out += "          # environment of the container\n";
      out += "          env:\n";
      const std::size_t vars = 2 + rnd.below(4);
      for (std::size_t v = 0; v < vars; ++v) {
        out += "            - name: " + word() + "_" + word() + "\n";
        out += "              value: \"" + word() + " " + word() + "\\t" + std::to_string(rnd.below(1000)) + "\"\n";
      }
      out += "          resources:\n            limits: {cpu: \"" + std::to_string(100 + rnd.below(900)) +
             "m\", memory: " + std::to_string(64 + rnd.below(960)) + "Mi}\n";
      out += "          ports:\n";
      out += "            - {containerPort: " + std::to_string(1000 + rnd.below(9000)) + ", protocol: TCP}\n";
    }
    out += "      description: >\n";
    const std::size_t lines = 2 + rnd.below(4);
    for (std::size_t l = 0; l < lines; ++l) {
      out += "        " + word() + " " + word() + " " + word() + " " + word() + " " + word() + " " + word() + "\n";
    }
    out += "      script: |\n        #!/bin/sh\n        set -e\n";
    out += "        echo \"starting " + name + "\"\n        exec /bin/" + word() + " --config /etc/" + word() +
           ".yaml\n";
    out += "      notes: 'it''s " + word() + " and " + word() + "'\n";
    out += "      matrix:\n";
    for (std::size_t r = 0; r < 3; ++r) {
      out += "        - [" + std::to_string(rnd.below(100)) + ", " + std::to_string(rnd.below(100)) + ", " +
             std::to_string(rnd.below(100)) + ", " + word() + "]\n";
    }
    ++doc;
  }
  return out;
}

}  // namespace velmo::bench
