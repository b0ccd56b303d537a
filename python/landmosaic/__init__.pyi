from typing import Any, Iterable, Literal, Mapping, Sequence

import numpy
import numpy.typing

from . import dask as dask
from . import xarray as xarray

Window = Literal["square", "circle", "mesh"]

MAX_RANK: int
METRICS: tuple[str, ...]
WINDOWS: tuple[str, ...]

class RunError(RuntimeError):
    summary: dict[str, Any]
    exit_status: int
    def __init__(self, message: str, summary: dict[str, Any]) -> None: ...

def scan(
    array: numpy.typing.ArrayLike,
    window: Window,
    rank: int | None = None,
    *,
    surface_km2: float | None = None,
    pixel_size: float | None = None,
    metrics: str | Iterable[str] = ("diversity", "homogeneity"),
    min_valid: float | None = None,
    threads: int | None = None,
) -> dict[str, numpy.ndarray]: ...
def inventory(array: numpy.typing.ArrayLike) -> list[tuple[int, int, float]]: ...
def rank_for_surface(km2: float, pixel_size: float, window: Window) -> int: ...
def window_surface(window: Window, rank: int, pixel_size: float | None = None) -> int | float: ...
def run(map_path: str | Any, **options: Any) -> dict[str, Any]: ...
