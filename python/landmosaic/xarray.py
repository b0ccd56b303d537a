"""Scans of xarray DataArrays (as rioxarray opens rasters): a Dataset with one variable per
metric, on the input's coordinates, with its CRS and transform when rioxarray is present.
"""

import numpy as _np
import xarray as _xr

from . import rank_for_surface
from . import scan as _scan

__all__ = ["scan"]

try:
    import rioxarray as _rioxarray  # noqa: F401  (registers the .rio accessor)
except ImportError:  # pragma: no cover - rioxarray is optional
    _rioxarray = None


def _nodata_of(da):
    # The input's no-data value: rioxarray's, else the CF attribute or encoding.
    if _rioxarray is not None:
        try:
            value = da.rio.nodata
        except Exception:  # noqa: BLE001 - a DataArray rioxarray cannot read
            value = None
        if value is not None:
            return value
    for where in (da.attrs, da.encoding):
        for key in ("_FillValue", "nodata", "missing_value"):
            if where.get(key) is not None:
                return where[key]
    return None


def _codes_block(values, nodata):
    # Class codes with the no-data pixels (and NaN) turned into 255, no class.
    if values.dtype.kind == "f":
        missing = _np.isnan(values)
        if nodata is not None and not _np.isnan(nodata):
            missing |= values == nodata
        whole = _np.where(missing, 255, values)
        if not bool((whole == _np.floor(whole)).all()):
            raise TypeError("the DataArray holds values that are not whole class codes; "
                            f"a map of integer codes is required (dtype {values.dtype})")
        if whole.size and not (whole.min() >= 0 and whole.max() <= 255):
            raise ValueError("class codes must be 0..255 (255: no class); the DataArray "
                             f"holds values from {whole.min():g} to {whole.max():g}")
        return whole.astype(_np.uint8)
    if values.dtype.kind in "ui" and nodata is not None and not _np.isnan(nodata) \
            and nodata != 255:
        return _np.where(values == nodata, 255, values)
    return values


def _codes_of(da, nodata):
    values = da.data
    if values.dtype.kind not in "fui":
        raise TypeError("a map of integer class codes (0..255, 255: no class) is required; "
                        f"got a DataArray of dtype {values.dtype}")
    if values.dtype.kind == "f" or (nodata is not None and nodata != 255):
        if hasattr(values, "dask"):
            dtype = _np.uint8 if values.dtype.kind == "f" else values.dtype
            return values.map_blocks(_codes_block, nodata, dtype=dtype)
        return _codes_block(values, nodata)
    return values


def _pixel_size_of(da):
    try:
        if _rioxarray is not None:
            return abs(float(da.rio.resolution()[0]))
    except Exception:  # noqa: BLE001 - no transform: the coordinates say it
        pass
    x = da.coords.get(da.dims[1])
    return abs(float(x[1] - x[0])) if x is not None and x.size > 1 else None


def scan(dataarray, window, rank=None, *, surface_km2=None, pixel_size=None,
         metrics=("diversity", "homogeneity"), min_valid=None, threads=None):
    """Scan a DataArray of class codes; returns an xarray.Dataset.

    dataarray: 2-D (y, x), or one band (band, y, x) as rioxarray opens a raster. Integer
        codes 0..255; pixels equal to its no-data value (rioxarray's `nodata`, or the
        `_FillValue` attribute) and NaN become 255, no class. A dask-backed DataArray is
        scanned lazily, chunk by chunk (landmosaic.dask).
    The options are those of `landmosaic.scan`; with `surface_km2` and no `pixel_size`, the
    pixel size is read from the transform or the coordinates.

    Each metric is a variable on the input's dimensions and coordinates, no-data given by
    its `_FillValue` attribute (255 for uint8, -1 for float32); the CRS and transform are
    kept (rioxarray); the window and rank are attributes of the Dataset.
    """
    da = dataarray
    if da.ndim == 3 and da.shape[0] == 1:
        da = da.isel({da.dims[0]: 0}, drop=True)
    if da.ndim != 2:
        raise ValueError(f"a 2-D DataArray (y, x) or one band is required; got dimensions "
                         f"{da.dims}, shape {da.shape}")
    if rank is None and surface_km2 is not None:
        pixel_size = pixel_size if pixel_size is not None else _pixel_size_of(da)
        if pixel_size is None:
            raise ValueError("surface_km2 gives a rank only with pixel_size, and this "
                             "DataArray has no transform or coordinates to read it from")
        rank = rank_for_surface(surface_km2, pixel_size, window)
    codes = _codes_of(da, _nodata_of(da))
    options = dict(surface_km2=surface_km2, pixel_size=pixel_size, metrics=metrics,
                   min_valid=min_valid, threads=threads)
    if hasattr(codes, "dask"):
        from . import dask as _ldask
        if threads is None:
            options["threads"] = 1
        results = _ldask.scan(codes, window, rank, **options)
    else:
        results = _scan(codes, window, rank, **options)

    ds = _xr.Dataset(coords=da.coords)
    for name, values in results.items():
        fill = -1.0 if values.dtype.kind == "f" else 255
        var = _xr.DataArray(values, dims=da.dims, coords=da.coords,
                            attrs={"long_name": name})
        if _rioxarray is not None:
            var = var.rio.write_nodata(fill, encoded=False)
        else:
            var.attrs["_FillValue"] = fill
        ds[name] = var
    ds.attrs.update({"landmosaic_window": window, "landmosaic_rank": int(rank)})
    if _rioxarray is not None:
        try:
            crs = da.rio.crs
        except Exception:  # noqa: BLE001 - no CRS readable: none kept
            crs = None
        if crs is not None:
            ds = ds.rio.write_crs(crs)
            ds = ds.rio.write_transform(da.rio.transform())
    return ds
