"""Builds the native module of the Python package with the project's CMake build.

`pip install --no-build-isolation .` runs this: CMake configures the project for the
interpreter that runs pip (tests, benchmark and MPI left out), builds the module and the
GDAL module the engine loads for GeoTIFF, and both are copied into the package.
"""

import glob
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        jobs = os.environ.get("JOBS", "2")
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DLANDMOSAIC_TESTS=OFF", "-DLANDMOSAIC_BENCH=OFF",
                        "-DLANDMOSAIC_MPI=OFF", f"-DPython_EXECUTABLE={sys.executable}"],
                       check=True)
        targets = ["_landmosaic"]
        gdal = os.path.join(build, "landmosaic-gdal.so")
        listed = subprocess.run(["cmake", "--build", build, "--target", "help"],
                                capture_output=True, text=True).stdout
        if "landmosaic_gdal_module" in listed:
            targets.append("landmosaic_gdal_module")
        subprocess.run(["cmake", "--build", build, "-j", jobs, "--target", *targets], check=True)
        built = glob.glob(os.path.join(build, "python", "landmosaic", "_landmosaic*.so"))
        if not built:
            sys.exit("the native module was not built: CMake said why (pybind11-dev, "
                     "python3-dev and python3-numpy are needed)")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)
        if os.path.exists(gdal):
            shutil.copyfile(gdal, os.path.join(os.path.dirname(target), "landmosaic-gdal.so"))


setup(ext_modules=[CMakeExtension("landmosaic._landmosaic")], cmdclass={"build_ext": CMakeBuild})
