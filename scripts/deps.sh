#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing, packaging, documenting, benchmarking
# and fuzzing need, skipping those already present.
set -euo pipefail
packages=(make cmake ninja-build g++ gcc clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
          binutils pkg-config dpkg-dev doxygen python3 python3-pytest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
