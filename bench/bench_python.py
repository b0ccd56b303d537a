"""The Python package against the usual numpy approach, in one process.

A 3000 x 3000 map of 12 classes (255 around it, as on a real map), square window R = 16:
landmosaic.scan against one scipy.ndimage.uniform_filter per class (the share of each
class in the window, then the largest share and the number of classes present). Both give
the same diversity and homogeneity inside the border; the script checks it, then prints
the best of three timings of the scan and one of the numpy approach (it takes long). Run by `make bench` when the module is built.
"""

import sys
import time

import numpy as np

import landmosaic


def numpy_scan(codes, rank):
    from scipy import ndimage

    size = 2 * rank + 1
    largest = np.zeros(codes.shape, dtype=np.float64)
    present = np.zeros(codes.shape, dtype=np.uint8)
    for code in np.unique(codes):
        if code == 255:
            continue
        share = ndimage.uniform_filter((codes == code).astype(np.float64), size=size,
                                       mode="constant")
        largest = np.maximum(largest, share)
        present += share > 0.5 / (size * size)
    homogeneity = np.floor(largest * 100 + 1e-9).astype(np.uint8)
    return present, homogeneity


def best_of(runs, f):
    best = float("inf")
    for _ in range(runs):
        t = time.perf_counter()
        f()
        best = min(best, time.perf_counter() - t)
    return best


def main():
    try:
        import scipy  # noqa: F401
    except ImportError:
        print("python: scipy is missing (Debian: python3-scipy), no comparison")
        return 0
    rng = np.random.default_rng(0)
    n, rank = 3000, 16
    # Patches of classes, as a land-cover map has them, rather than noise.
    small = rng.integers(0, 12, (n // 20 + 1, n // 20 + 1), dtype=np.uint8)
    codes = np.kron(small, np.ones((20, 20), dtype=np.uint8))[:n, :n].copy()
    codes[:50, :] = 255

    ours = landmosaic.scan(codes, "square", rank)
    div, homo = numpy_scan(codes, rank)
    inner = (slice(rank, n - rank), slice(rank, n - rank))
    same = (np.array_equal(ours["diversity"][inner], div[inner])
            and np.array_equal(ours["homogeneity"][inner], homo[inner]))

    t_ours = best_of(3, lambda: landmosaic.scan(codes, "square", rank))
    t_numpy = best_of(1, lambda: numpy_scan(codes, rank))
    print(f"python: {n} x {n} map, 12 classes, square R = {rank}, one process")
    print(f"  landmosaic.scan                        {t_ours:8.3f} s")
    print(f"  scipy.ndimage.uniform_filter per class {t_numpy:8.3f} s")
    print(f"  speed-up {t_numpy / t_ours:.1f}x; same values inside the border: {same}")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
