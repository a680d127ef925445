"""`pip install .` from a clone: in a virtual environment made with
--system-site-packages, with --no-build-isolation and no package index, as
docs/install.md says. Slow: it builds the extension from scratch."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from support import SOURCE_DIR, sjis


def copy_clone(destination):
    """The clone as a fresh checkout holds it: no build trees, no caches."""
    def ignored(directory, names):
        return [name for name in names if name.startswith("build") or name in (".git", "__pycache__")
                or name.endswith(".egg-info")]
    shutil.copytree(SOURCE_DIR, destination, ignore=ignored, symlinks=True)


class PipInstallTest(unittest.TestCase):
    def test_pip_install_into_a_virtual_environment(self):
        work = tempfile.mkdtemp(prefix="zolehead-pip-")
        self.addCleanup(shutil.rmtree, work, ignore_errors=True)
        clone, venv = os.path.join(work, "clone"), os.path.join(work, "venv")
        copy_clone(clone)
        env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH", "LD_PRELOAD")}
        env.update(PIP_NO_INPUT="1", PIP_DISABLE_PIP_VERSION_CHECK="1", CMAKE_BUILD_PARALLEL_LEVEL="2")
        subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", venv], check=True, env=env)
        python = os.path.join(venv, "bin", "python")
        subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--no-deps", clone],
                       check=True, env=env, timeout=1500)

        sample = os.path.join(work, "song.zole")
        with open(sample, "wb") as f:
            f.write(sjis("曲名：桜\r\n") + b"*Genre 'Pop'\r\n")
        probe = ("import sys, zolehead\n"
                 "print(zolehead.__file__)\n"
                 "print(zolehead._zolehead.__file__)\n"
                 "print(repr(zolehead.read(sys.argv[1])))\n")
        done = subprocess.run([python, "-c", probe, sample], cwd=work, env=dict(env, PYTHONIOENCODING="utf-8"),
                              stdout=subprocess.PIPE, check=True, encoding="utf-8")
        package, extension, header = done.stdout.splitlines()
        self.assertTrue(package.startswith(os.path.join(venv, "lib")), package)
        self.assertEqual(header, "<Header Title='桜' (A), Genre='Pop' (B)>")
        needed = subprocess.run(["readelf", "-d", extension], stdout=subprocess.PIPE, check=True, encoding="utf-8")
        self.assertNotIn("libZoleHead", needed.stdout)
        typed = os.path.join(os.path.dirname(package), "py.typed")
        self.assertTrue(os.path.exists(typed), "py.typed is installed")


if __name__ == "__main__":
    unittest.main()
