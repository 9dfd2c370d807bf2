#!/usr/bin/env bash
# Builds the Debian package from scratch in its own folder: build-deb/tessavue_<version>_<arch>.deb,
# hardened as a Release build, and shows what lintian says of it when lintian is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
rm -rf build-deb
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTESSAVUE_TESTS=OFF >/dev/null
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB)
ls build-deb/*.deb
if command -v lintian >/dev/null; then
  echo "lintian:"
  lintian --info build-deb/*.deb
fi
