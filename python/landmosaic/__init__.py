"""LANDMOSAIC for Python: the diversity and homogeneity of a classified map.

A map is a 2-D array of class codes 0..254, 255 standing for "no class". The functions
here run the program's own engine on numpy arrays, at its speed (the GIL is released
while it works):

    >>> import numpy as np, landmosaic
    >>> codes = np.random.default_rng(0).integers(0, 6, (500, 400), dtype=np.uint8)
    >>> out = landmosaic.scan(codes, "circle", 5)
    >>> out["diversity"].shape, out["homogeneity"].dtype
    ((500, 400), dtype('uint8'))

`landmosaic.xarray.scan` takes and gives xarray objects with their coordinates, and
`landmosaic.dask.scan` scans maps larger than memory, or on a cluster, chunk by chunk.
"""

import importlib as _importlib
import json as _json
import os as _os

# An installed package carries GDAL's module beside its own; the engine looks for it here.
_gdal_module = _os.path.join(_os.path.dirname(__file__), "landmosaic-gdal.so")
if _os.path.exists(_gdal_module) and not _os.environ.get("LANDMOSAIC_GDAL_MODULE"):
    _os.environ["LANDMOSAIC_GDAL_MODULE"] = _gdal_module

from . import _landmosaic  # noqa: E402

MAX_RANK = _landmosaic.MAX_RANK
METRICS = _landmosaic.METRICS
WINDOWS = ("square", "circle", "mesh")

__all__ = ["scan", "inventory", "rank_for_surface", "window_surface", "run", "RunError",
           "METRICS", "WINDOWS", "MAX_RANK"]


class RunError(RuntimeError):
    """A run on files that failed: a map missing or refused, a result not written.

    `summary` holds the run's JSON summary (as `run` returns it), `exit_status` is 1.
    """

    def __init__(self, message, summary):
        super().__init__(message)
        self.summary = summary
        self.exit_status = summary.get("exit_status", 1) if summary else 1


def scan(array, window, rank=None, *, surface_km2=None, pixel_size=None,
         metrics=("diversity", "homogeneity"), min_valid=None, threads=None):
    """Scan a map with a moving window or a cell mesh.

    array: a 2-D array of class codes: uint8 as it is (a C-contiguous one is not copied),
        or any integer dtype whose values are all 0..255 (copied once); 255 is no class.
    window: "square" or "circle" (moving window centred on each pixel), or "mesh" (square
        cells of 2R+1 pixels from the top left corner).
    rank: the rank R (0 to MAX_RANK): window edge 2R+1, circle radius R+0.5 pixels. None:
        the rank advised for `surface_km2` on pixels of `pixel_size` metres.
    metrics: the results wanted, named as the command line's --metrics names them:
        diversity, homogeneity, shannon, simpson, evenness, dominant, share:CODE (also
        written shareCODE, as its key is).
    min_valid: the valid-pixel rule: a pixel of a class gets values when at least this
        percent (above 0, at most 100) of its window's surface holds classified pixels,
        windows reaching past the map's edge included. None: whole windows inside the map.
    threads: the engine's threads; None for every core.

    Returns a dict {metric name: numpy array of the map's shape} ("share:7" is the key
    "share7"), equal to the bands of
    the command line's GeoTIFF results for the same map and options: uint8 metrics with
    255 where no window or whole cell reaches, float32 metrics with -1 there.

    Raises TypeError for a non-integer array, ValueError for a code outside 0..255, an
    array that is not 2-D or is empty, an unknown window or metric, a rank out of range
    or a min_valid outside (0, 100];
    KeyboardInterrupt (Ctrl-C) stops the scan within a second.
    """
    return _landmosaic.scan(array, window, rank, surface_km2=surface_km2, pixel_size=pixel_size,
                            metrics=metrics, min_valid=min_valid, threads=threads)


def inventory(array):
    """The classes of a map: a list of (code, pixels, percent), codes ascending.

    Code 255 is no class: it is not listed and not part of the percentages' base.
    The same checks of the array as `scan`.
    """
    return _landmosaic.inventory(array)


def rank_for_surface(km2, pixel_size, window):
    """The rank R whose window (or cell) comes closest to `km2` square kilometres on pixels
    of `pixel_size` metres, as the program's rank help advises it."""
    return _landmosaic.rank_for_surface(km2, pixel_size, window)


def window_surface(window, rank, pixel_size=None):
    """The surface of the window (or cell) of rank R: its number of pixels, or, with
    `pixel_size` (metres), square kilometres."""
    return _landmosaic.window_surface(window, rank, pixel_size)


# Options of `run` named as `scan` names them.
_ALIASES = {"surface_km2": "surface"}


def run(map_path, **options):
    """A whole run on files, as the command line makes it; returns its JSON summary as a dict.

    Options are the command line's long options, "-" written "_" (surface_km2 for
    --surface, as `scan` names it): window="circle", rank=5,
    output="results/vaud", format="tif", lang="fr", memory=2000, quicklook=True, ... A True
    value is a flag, None or False leaves the option out, a list is joined with commas.

    Raises ValueError for a usage error (an unknown option, a bad value), RunError when the
    run failed (its `summary` says what was written), KeyboardInterrupt on Ctrl-C (the
    results being written are abandoned, earlier files of the same names kept).
    """
    path = _os.fspath(map_path)
    args = ["./" + path if path.startswith("-") else path]
    for key, value in options.items():
        flag = "--" + _ALIASES.get(key, key).replace("_", "-")
        if value is None or value is False:
            continue
        if value is True:
            args.append(flag)
            continue
        if isinstance(value, (list, tuple)):
            value = ",".join(str(v) for v in value)
        args += [flag, str(value)]
    status, summary, messages = _landmosaic._run(args)
    if status == 2:
        raise ValueError(messages.strip())
    if summary is None:
        return {"exit_status": status, "text": messages}
    summary = _json.loads(summary)
    if status != 0:
        raise RunError(messages.strip() or "the run failed", summary)
    return summary


def __getattr__(name):
    # landmosaic.xarray and landmosaic.dask are imported when first used: they need
    # packages that plain scans do not.
    if name in ("xarray", "dask"):
        return _importlib.import_module("." + name, __name__)
    raise AttributeError(f"module 'landmosaic' has no attribute {name!r}")
