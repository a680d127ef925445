# Whether the Python extension is built: ZOLEHEAD_BUILD_PYTHON is AUTO (when
# pybind11 and Python's development files are found), ON (they must be) or
# OFF. Sets ZOLEHEAD_WITH_PYTHON.
#
# The interpreter is Debian's own, /usr/bin/python3, whatever python3 comes
# first on PATH (a pyenv, say): pybind11-dev, python3-dev and the .deb are
# made for it, and the tests run with it. -DPython3_EXECUTABLE=... picks
# another one; setup.py passes the interpreter pip runs.
set(ZOLEHEAD_BUILD_PYTHON AUTO CACHE STRING "Build the Python extension: AUTO, ON or OFF")
set_property(CACHE ZOLEHEAD_BUILD_PYTHON PROPERTY STRINGS AUTO ON OFF)

set(ZOLEHEAD_WITH_PYTHON OFF)
if(CMAKE_CROSSCOMPILING OR WIN32 OR ZOLEHEAD_BUILD_PYTHON STREQUAL "OFF")
  return()
endif()

if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python interpreter the extension is built for and tested with")
endif()
find_package(Python3 3.8 COMPONENTS Interpreter Development.Module)
if(Python3_Development.Module_FOUND)
  find_package(pybind11 2.6 CONFIG)
endif()

if(Python3_Development.Module_FOUND AND pybind11_FOUND)
  set(ZOLEHEAD_WITH_PYTHON ON)
  message(STATUS "Python extension: for ${Python3_EXECUTABLE} (${Python3_VERSION}), pybind11 ${pybind11_VERSION}")
elseif(ZOLEHEAD_BUILD_PYTHON STREQUAL "ON")
  message(FATAL_ERROR "ZOLEHEAD_BUILD_PYTHON=ON needs Python's development files and pybind11 "
                      "(./scripts/install-deps.sh python)")
else()
  message(STATUS "Python extension: not built (no pybind11 or Python development files; ./scripts/install-deps.sh python)")
endif()
