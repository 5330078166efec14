#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the tools use,
# when any is missing. Quiet and quick when everything is there.
set -euo pipefail

# Each package with what needs it.
PACKAGES=(
  g++ cmake ninja-build        # the build
  pkg-config                   # Qt 6's CMake files find some of their own dependencies with it
  googletest libgtest-dev      # the unit tests
  nlohmann-json3-dev           # q6tool json, build and schema
  libsimdjson-dev              # build: the quick reader of JSON in the export's own form
  libfmt-dev                   # the shortest text of a double (Func_/Shortest.cpp: Dragonbox's digits)
  libjemalloc-dev              # the programs' allocator (huge pages for large drawings)
  qt6-base-dev libgl-dev       # the viewer, the painter and the thumbnailer (Qt 6 Gui needs OpenGL's headers)
  libpng-dev zlib1g-dev        # the painter's PNG writer
  qt6-translations-l10n        # the toolkit's own texts in the viewer, in the user's language
  libqt6svg6                   # the viewer's SVG window icon
  fonts-ipafont-gothic         # the Japanese texts of the drawings, as the painter and the SVG output name it
  librsvg2-bin poppler-utils libxml2-utils  # the render tests read our SVG and PDF with readers we did not write
  python3-ezdxf                # the DXF tests read our DXF back with it
  xvfb xauth                   # scripts/screenshot.sh: the viewer in a real window
)
if [[ "${Q6_WITH_FUZZ:-0}" == 1 ]]; then
  # The fuzz targets: clang's libFuzzer and sanitizer runtimes; llvm-symbolizer
  # for function names and lines in what a finding prints.
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
