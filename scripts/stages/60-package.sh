#!/usr/bin/env bash
# The Debian package, built by CPack in its own Release build configured for
# /usr, then checked: control fields, contents, and C hosts built against its
# unpacked files, and the Python package with Debian's python3. (Installing
# into a prefix is tested by the unit stage's ctest run.)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build-pkg

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DZOLEHEAD_BUILD_TESTS=OFF \
  -DZOLEHEAD_BUILD_PYTHON=ON
cmake --build "$build" -j2
rm -f "$build"/zolehead_*.deb "$build"/zolehead_*.deb.sha256
(cd "$build" && cpack -G DEB)

debs=("$build"/zolehead_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "60-package: expected one package, found: ${debs[*]}" >&2
  exit 1
fi
ZOLEHEAD_VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
ZOLEHEAD_EXPECT_TOOL=0
[ ! -f cli/CMakeLists.txt ] || ZOLEHEAD_EXPECT_TOOL=1
ZOLEHEAD_EXPECT_MAN=0
[ ! -f cli/zolehead.1 ] || ZOLEHEAD_EXPECT_MAN=1
ZOLEHEAD_EXPECT_PYTHON=1
export ZOLEHEAD_VERSION ZOLEHEAD_EXPECT_TOOL ZOLEHEAD_EXPECT_MAN ZOLEHEAD_EXPECT_PYTHON
tests/package/check_deb.sh "${debs[0]}"
