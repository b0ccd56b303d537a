from typing import Iterable, Literal

import xarray

def scan(
    dataarray: xarray.DataArray,
    window: Literal["square", "circle", "mesh"],
    rank: int | None = None,
    *,
    surface_km2: float | None = None,
    pixel_size: float | None = None,
    metrics: str | Iterable[str] = ("diversity", "homogeneity"),
    min_valid: float | None = None,
    threads: int | None = None,
) -> xarray.Dataset: ...
