# CPack: `cpack` in a build directory makes one Debian package holding the
# library, its header and development files, the tool and the Python package.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr for Debian's multiarch libdir.
set(CPACK_PACKAGE_NAME zolehead)
set(CPACK_PACKAGE_VENDOR "ZoleHead maintainers")
set(CPACK_PACKAGE_CONTACT "ZoleHead maintainers <maintainers@users.noreply.c-seed-cd3df346.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "\
ZoleHead reads the title, genre, composer and thirteen more fields from the
header of a Zole music data file (Shift_JIS text), in either of its two forms:
Japanese label lines or starred keywords. The package holds the shared library
libZoleHead.so.1 with its C header, CMake package and pkg-config file, the
zolehead command-line tool, and the zolehead module for Python 3.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends: from the libraries the binaries really link (libc6, libstdc++6...).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # A shlibs file and the ldconfig trigger, so dlopen("libZoleHead.so.1") works
  # right after installation.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  # The extension is built for one Python version (Debian's python3).
  if(TARGET _zolehead)
    math(EXPR _zolehead_next_minor "${Python3_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${_zolehead_next_minor})")
  endif()
else()
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "__pycache__")

include(CPack)
