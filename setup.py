"""Builds the zolehead package's extension with the project's own CMake build,
so that pip compiles exactly the sources, flags and checks CMake does: the
source lists live in the CMakeLists.txt files only. Needs CMake 3.25, a C++20
compiler, Python's development files and pybind11 (Debian: pybind11-dev)."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    found = re.search(r"project\(ZoleHead VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    if not found:
        raise RuntimeError("no project version in CMakeLists.txt")
    return found.group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            # The interpreter pip runs, whatever python3 is first on PATH.
            f"-DPython3_EXECUTABLE={sys.executable}",
            "-DZOLEHEAD_BUILD_PYTHON=ON",
            "-DZOLEHEAD_BUILD_CLI=OFF",
            "-DZOLEHEAD_BUILD_TESTS=OFF",
            "-DZOLEHEAD_INSTALL=OFF",
        ]
        try:  # pybind11 from pip rather than from the system, when that is what there is
            import pybind11
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass
        jobs = self.parallel or os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or os.cpu_count() or 1
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_zolehead", "-j", str(jobs)], check=True)
        built = sorted((build / "python" / "zolehead").glob("_zolehead*.so"))
        if len(built) != 1:
            raise RuntimeError(f"expected one built extension, found {built}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


setup(
    version=project_version(),
    ext_modules=[CMakeExtension("zolehead._zolehead")],
    cmdclass={"build_ext": CMakeBuild},
    # Apart from CMake's build/ directory.
    options={"build": {"build_base": "build-python"}},
)
