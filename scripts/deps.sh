#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the viewer need,
# when any is missing. Quiet and quick when everything is there.
set -euo pipefail

PACKAGES=(
  g++ cmake ninja-build pkg-config
  googletest libgtest-dev libbenchmark-dev
  qt6-base-dev libgl-dev qt6-translations-l10n
  nlohmann-json3-dev
  fonts-ipafont-gothic
  librsvg2-bin poppler-utils libxml2-utils
  xvfb xauth
  python3-ezdxf
)
if [[ "${Q6_WITH_FUZZ:-0}" == 1 ]]; then
  PACKAGES+=(clang libclang-rt-14-dev llvm-14)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=()
if [[ $(id -u) != 0 ]]; then SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
