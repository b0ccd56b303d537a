from typing import Iterable, Literal

import dask.array

def scan(
    array: dask.array.Array,
    window: Literal["square", "circle", "mesh"],
    rank: int | None = None,
    *,
    surface_km2: float | None = None,
    pixel_size: float | None = None,
    metrics: str | Iterable[str] = ("diversity", "homogeneity"),
    min_valid: float | None = None,
    threads: int | None = 1,
) -> dict[str, dask.array.Array]: ...
