#!/usr/bin/env bash
# Installs what building, testing, benchmarking and fuzzing need. Safe to run again: it installs only what is missing.
set -euo pipefail

apt_packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev           # C++ unit tests of the core
  rapidjson-dev          # JSON reader of from_json
  libyaml-dev            # peer in the parser benchmark only; never linked into the module
  clang libclang-rt-14-dev  # libFuzzer targets
)
pip_packages=(nanobind scikit-build-core pytest hypothesis numpy PyYAML)

missing=()
for p in "${apt_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

python=${PYTHON:-python3}
need_pip=()
for p in "${pip_packages[@]}"; do
  "$python" -m pip show -q "$p" >/dev/null 2>&1 || need_pip+=("$p")
done
if ((${#need_pip[@]})); then
  "$python" -m pip install -q --root-user-action=ignore "${need_pip[@]}"
fi
