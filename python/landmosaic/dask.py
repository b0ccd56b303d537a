"""Scans of dask arrays: maps larger than memory, or spread over a dask.distributed cluster.

Each chunk is scanned with a halo of R rows and columns taken from its neighbours (for the
cell mesh, chunks are first aligned to whole cells), so the result equals
`landmosaic.scan` on the whole array whatever the chunking.
"""

import numpy as _np

from . import _landmosaic, rank_for_surface

__all__ = ["scan"]

def _scan_block(block, window, rank, names, dtype, min_valid, threads):
    # One chunk with its halo: the wanted metrics stacked along a new first axis.
    if block.size == 0:
        return _np.empty((len(names),) + block.shape, dtype=dtype)
    res = _landmosaic.scan(block, window, rank, metrics=names, min_valid=min_valid,
                           threads=threads)
    return _np.stack([res[n] for n in names])


def _mesh_chunks(chunks, size, m):
    # Chunk edges moved to the nearest multiple of the cell edge m, so that no cell is
    # split between two chunks; a map of less than two cells is one chunk.
    edges, at = [], 0
    for c in chunks[:-1]:
        at += c
        edge = int(round(at / m)) * m
        if 0 < edge < size and (not edges or edge > edges[-1]):
            edges.append(edge)
    bounds = [0] + edges + [size]
    return tuple(b - a for a, b in zip(bounds, bounds[1:]))


def scan(array, window, rank=None, *, surface_km2=None, pixel_size=None,
         metrics=("diversity", "homogeneity"), min_valid=None, threads=1):
    """Scan a dask array of class codes chunk by chunk; lazy.

    The options are those of `landmosaic.scan`; `threads` is the engine's threads per
    chunk (1 by default: dask already runs chunks side by side; None for every core).
    Returns {metric name: dask.array.Array} of the array's shape and chunks (for the mesh:
    chunks moved to whole cells), equal to `landmosaic.scan` on the whole array. Runs on
    the threaded scheduler or on a dask.distributed cluster (every worker imports
    landmosaic). Faults of the options are raised at once; those of the codes (TypeError
    for a float array at once, ValueError for a code outside 0..255) when computed.
    """
    import dask.array as da
    from dask.array import overlap

    arr = da.asarray(array)
    if arr.dtype.kind not in "ui":
        raise TypeError("a map of integer class codes (0..255, 255: no class) is required; "
                        f"got an array of dtype {arr.dtype}")
    if arr.ndim != 2:
        raise ValueError(f"a 2-D array (rows, columns) is required; got {arr.ndim} "
                         f"dimensions, shape {arr.shape}")
    if arr.size == 0:
        raise ValueError(f"the array is empty (shape {arr.shape}): a map of at least one "
                         "pixel is required")
    if rank is None and surface_km2 is not None and pixel_size is not None:
        rank = rank_for_surface(surface_km2, pixel_size, window)
    # Every fault of the options, raised now rather than in a worker.
    _landmosaic.scan(_np.zeros((1, 1), _np.uint8), window, rank, surface_km2=surface_km2,
                     pixel_size=pixel_size, metrics=metrics, min_valid=min_valid,
                     threads=threads)
    info = _landmosaic._metric_info(metrics)  # (key, dtype) of each metric, in order

    if window == "mesh":
        m = 2 * rank + 1
        arr = arr.rechunk(tuple(_mesh_chunks(c, s, m) for c, s in zip(arr.chunks, arr.shape)))
        depth = 0
    else:
        depth = rank
    grown = (overlap.overlap(arr, depth={0: depth, 1: depth}, boundary={0: "none", 1: "none"})
             if depth else arr)

    out = {}
    for dtype in (_np.uint8, _np.float32):
        group = [key for key, kind in info if _np.dtype(kind) == dtype]
        if not group:
            continue
        stacked = grown.map_blocks(_scan_block, window, rank, group, dtype, min_valid, threads,
                                   new_axis=0, chunks=((len(group),),) + grown.chunks,
                                   dtype=dtype, meta=_np.empty((0, 0, 0), dtype=dtype))
        if depth:
            stacked = overlap.trim_internal(stacked, {0: 0, 1: depth, 2: depth},
                                            boundary={0: "none", 1: "none", 2: "none"})
        for i, n in enumerate(group):
            out[n] = stacked[i]
    return {key: out[key] for key, _ in info}
