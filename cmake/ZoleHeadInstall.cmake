# Install rules: the shared library with its SONAME links, the public C header,
# the tool and its man page, a CMake package, a pkg-config file and the Python
# package. The static core and the internal headers stay private: the C API is
# the only interface with a stable ABI.
option(ZOLEHEAD_INSTALL "Generate the install rules and CPack packaging" ${PROJECT_IS_TOP_LEVEL})
if(NOT ZOLEHEAD_INSTALL)
  return()
endif()

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Follows the libdir, which GNUInstallDirs picks from the prefix (multiarch
# under /usr), so it is not cached.
set(ZOLEHEAD_CMAKE_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/ZoleHead")
set(ZOLEHEAD_PYTHON_INSTALL_DIR "lib/python3/dist-packages"
    CACHE STRING "Where the Python module goes, relative to the prefix")

# The target names its PUBLIC_HEADER relative to its own directory; install()
# here would look for it relative to this one.
get_target_property(_zolehead_source_dir ZoleHead SOURCE_DIR)
get_target_property(_zolehead_public_headers ZoleHead PUBLIC_HEADER)
list(TRANSFORM _zolehead_public_headers PREPEND "${_zolehead_source_dir}/" REGEX "^[^/]")
set_target_properties(ZoleHead PROPERTIES PUBLIC_HEADER "${_zolehead_public_headers}")

install(TARGETS ZoleHead EXPORT ZoleHeadTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

if(TARGET zolehead)
  # The tool loads libZoleHead.so.1: under a private prefix it finds it
  # relative to itself; under a system prefix (a package) it needs no RPATH.
  list(FIND CMAKE_C_IMPLICIT_LINK_DIRECTORIES "${CMAKE_INSTALL_FULL_LIBDIR}" _zolehead_system_libdir)
  if(_zolehead_system_libdir EQUAL -1 AND NOT APPLE AND NOT WIN32)
    file(RELATIVE_PATH _zolehead_bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
    set_target_properties(zolehead PROPERTIES INSTALL_RPATH "$ORIGIN/${_zolehead_bin_to_lib}")
  endif()
  install(TARGETS zolehead EXPORT ZoleHeadTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  # The catalog server, which `zolehead serve` loads from here (cli/serve_module_loader.cpp).
  install(TARGETS zolehead_serve_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/zolehead COMPONENT tool)
endif()

# Debian ships man pages compressed; man reads either form.
set(_zolehead_man_page ${PROJECT_SOURCE_DIR}/cli/zolehead.1)
if(TARGET zolehead AND EXISTS ${_zolehead_man_page})
  find_program(ZOLEHEAD_GZIP gzip)
  if(ZOLEHEAD_GZIP)
    set(_zolehead_man_gz ${PROJECT_BINARY_DIR}/zolehead.1.gz)
    add_custom_command(OUTPUT ${_zolehead_man_gz}
      COMMAND ${ZOLEHEAD_GZIP} -9 -n -c ${_zolehead_man_page} > ${_zolehead_man_gz}
      DEPENDS ${_zolehead_man_page}
      COMMENT "Compressing the zolehead man page")
    add_custom_target(zolehead_man_page ALL DEPENDS ${_zolehead_man_gz})
    install(FILES ${_zolehead_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
  else()
    install(FILES ${_zolehead_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
  endif()
endif()

# find_package(ZoleHead): relocatable, so the prefix may move after install.
install(EXPORT ZoleHeadTargets
  NAMESPACE ZoleHead::
  FILE ZoleHeadTargets.cmake
  DESTINATION ${ZOLEHEAD_CMAKE_INSTALL_DIR}
  COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZoleHeadConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ZoleHeadConfig.cmake
  INSTALL_DESTINATION ${ZOLEHEAD_CMAKE_INSTALL_DIR})
# A new major version is a new ABI (and a new SONAME).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZoleHeadConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZoleHeadConfig.cmake ${PROJECT_BINARY_DIR}/ZoleHeadConfigVersion.cmake
  DESTINATION ${ZOLEHEAD_CMAKE_INSTALL_DIR}
  COMPONENT development)

# Files that name the install prefix are written at install time, not at
# configure time, so `cmake --install --prefix` and DESTDIR staging give files
# that point at where the library really ends up: ${prefix}-relative in the .pc
# file.
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(_zolehead_pc_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(_zolehead_pc_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
set(_zolehead_staged ${PROJECT_BINARY_DIR}/install-staged)

install(CODE "
  set(ZOLEHEAD_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(ZOLEHEAD_PC_LIBDIR [=[${_zolehead_pc_LIBDIR}]=])
  set(ZOLEHEAD_PC_INCLUDEDIR [=[${_zolehead_pc_INCLUDEDIR}]=])
  set(ZOLEHEAD_PC_VERSION [=[${PROJECT_VERSION}]=])
  set(ZOLEHEAD_PC_DESCRIPTION [=[${PROJECT_DESCRIPTION}]=])
  configure_file([=[${CMAKE_CURRENT_LIST_DIR}/zolehead.pc.in]=] [=[${_zolehead_staged}/zolehead.pc]=] @ONLY)
" COMPONENT development)
install(FILES ${_zolehead_staged}/zolehead.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)

# The Python package: the extension (the core linked in, so it needs no
# libZoleHead.so) and its Python files, for the interpreter it was built for.
if(TARGET _zolehead)
  get_target_property(_zolehead_python_files _zolehead ZOLEHEAD_PACKAGE_FILES)
  list(TRANSFORM _zolehead_python_files PREPEND "${PROJECT_SOURCE_DIR}/bindings/python/zolehead/")
  install(TARGETS _zolehead LIBRARY DESTINATION ${ZOLEHEAD_PYTHON_INSTALL_DIR}/zolehead COMPONENT python)
  install(FILES ${_zolehead_python_files} DESTINATION ${ZOLEHEAD_PYTHON_INSTALL_DIR}/zolehead COMPONENT python)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/ZoleHeadPackaging.cmake)
