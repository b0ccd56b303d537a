"""The Python package against the command line, its refusals, xarray and dask."""

import os
import signal
import subprocess
import threading
import time
import tracemalloc

import numpy as np
import pytest

import landmosaic as lm

WINDOWS = [("square", 2), ("circle", 3), ("mesh", 2), ("square", 0)]
# Every metric the command line maps, keys as scan gives them, and result file suffixes.
ALL_METRICS = ("diversity", "homogeneity", "shannon", "simpson", "evenness", "dominant",
               "share:3")
KEYS = ("diversity", "homogeneity", "shannon", "simpson", "evenness", "dominant", "share3")
SUFFIXES = ("diversity", "homog", "shannon", "simpson", "evenness", "dominant", "share3")


def codes_map(rows=41, cols=37, classes=6, seed=0):
    rng = np.random.default_rng(seed)
    a = rng.integers(0, classes, (rows, cols), dtype=np.uint8)
    a[5:12, 20:30] = 255  # a hole of no class
    a[30:, :4] = 9
    return a


def write_raw_map(folder, a, pixel=25):
    base = os.path.join(folder, "codes")
    a.tofile(base + ".raw")
    with open(base + ".txt", "w") as f:
        f.write(f"{a.shape[0]}\n{a.shape[1]}\n1\n0\n255\n{pixel}\n")
    return base + ".raw"


def command_line(*args):
    exe = os.environ.get("LANDMOSAIC_EXE")
    if not exe:
        pytest.skip("LANDMOSAIC_EXE does not name the program (run through ctest)")
    return subprocess.run([exe, "--quiet", *args], capture_output=True, text=True)


def read_geotiff_band(path):
    rasterio = pytest.importorskip("rasterio")
    with rasterio.open(path) as d:
        return d.read(1)


@pytest.mark.parametrize("window,rank", WINDOWS)
def test_arrays_equal_the_command_line_files(tmp_path, window, rank):
    a = codes_map()
    raster = write_raw_map(str(tmp_path), a)
    got = lm.scan(a, window, rank)
    assert list(got) == ["diversity", "homogeneity"]

    base = str(tmp_path / "raw")
    done = command_line("-w", window, "-r", str(rank), "-f", "raw", "-o", base, raster)
    assert done.returncode == 0, done.stderr
    for name, suffix in (("diversity", "_diversity.raw"), ("homogeneity", "_homog.raw")):
        written = np.fromfile(base + suffix, dtype=np.uint8).reshape(a.shape)
        assert got[name].dtype == np.uint8 and got[name].shape == a.shape
        np.testing.assert_array_equal(got[name], written, err_msg=name)

    # Every metric, with and without the valid-pixel rule, against the GeoTIFF bands, when
    # the program has GDAL.
    for min_valid in (None, 60):
        base = str(tmp_path / f"tif{min_valid}")
        args = ["-w", window, "-r", str(rank), "-f", "tif", "-o", base,
                "--metrics", ",".join(ALL_METRICS)]
        done = command_line(*args, *(["--min-valid", str(min_valid)] if min_valid else []),
                            raster)
        if done.returncode == 2 and "GDAL" in done.stderr:
            pytest.skip("this build has no GDAL")
        assert done.returncode == 0, done.stderr
        got = lm.scan(a, window, rank, metrics=ALL_METRICS, min_valid=min_valid)
        assert tuple(got) == KEYS
        for key, suffix in zip(KEYS, SUFFIXES):
            band = read_geotiff_band(f"{base}_{suffix}.tif")
            assert got[key].dtype == band.dtype, key
            np.testing.assert_array_equal(got[key], band, err_msg=f"{key} {min_valid}")


def test_run_and_inventory_agree_with_scan(tmp_path):
    a = codes_map()
    raster = write_raw_map(str(tmp_path), a)
    summary = lm.run(raster, window="circle", surface_km2=0.05, format="raw",
                     output=str(tmp_path / "run"))
    rank = lm.rank_for_surface(0.05, 25, "circle")
    assert summary["parameters"]["rank"] == rank
    assert summary["parameters"]["window_pixels"] == lm.window_surface("circle", rank)
    classes = [(c["code"], c["pixels"], c["percent"]) for c in summary["inventory"]["classes"]]
    assert lm.inventory(a) == classes
    written = np.fromfile(summary["outputs"]["homogeneity"], dtype=np.uint8).reshape(a.shape)
    np.testing.assert_array_equal(
        lm.scan(a, "circle", surface_km2=0.05, pixel_size=25)["homogeneity"], written)
    assert lm.window_surface("square", 3) == 49
    assert lm.window_surface("square", 3, pixel_size=100) == pytest.approx(0.49)

    with pytest.raises(ValueError, match="--rank"):
        lm.run(raster, window="square", rank=-3)
    with pytest.raises(lm.RunError) as failed:
        lm.run(str(tmp_path / "absent.raw"), window="square", rank=1, format="raw")
    assert failed.value.summary["exit_status"] == 1


def test_any_layout_and_integer_type_gives_the_same_values():
    a = codes_map(seed=3)
    want = lm.scan(a, "circle", 2)
    big = np.zeros((a.shape[0] * 2, a.shape[1] * 3), dtype=np.uint8)
    big[::2, ::3] = a
    for variant in (a.astype(np.int16), a.astype(np.int64), a.astype(np.uint32),
                    np.asfortranarray(a), big[::2, ::3], a.tolist()):
        got = lm.scan(variant, "circle", 2)
        for name in want:
            np.testing.assert_array_equal(got[name], want[name])
    # Rows read backwards, in place.
    got = lm.scan(a[::-1], "square", 1)
    np.testing.assert_array_equal(got["diversity"], lm.scan(a[::-1].copy(), "square", 1)["diversity"])
    # A C-contiguous uint8 map is read in place: only the two results are allocated.
    large = np.random.default_rng(1).integers(0, 4, (1500, 1000), dtype=np.uint8)
    tracemalloc.start()
    lm.scan(large, "square", 1)
    peak = tracemalloc.get_traced_memory()[1]
    tracemalloc.stop()
    assert peak < 2 * large.nbytes + large.nbytes // 2


@pytest.mark.parametrize("array,error,words", [
    (np.zeros((4, 4)), TypeError, "float64"),
    (np.zeros((4, 4), dtype=bool), TypeError, "bool"),
    (np.zeros((2, 3, 4), dtype=np.uint8), ValueError, "3 dimensions"),
    (np.zeros(5, dtype=np.uint8), ValueError, "1 dimensions"),
    (np.zeros((0, 4), dtype=np.uint8), ValueError, "empty"),
    (np.array([[1, 256]]), ValueError, "from 1 to 256"),
    (np.array([[-1, 3]], dtype=np.int8), ValueError, "from -1 to 3"),
])
def test_arrays_refused(array, error, words):
    with pytest.raises(error, match=words):
        lm.scan(array, "square", 1)
    with pytest.raises(error, match=words):
        lm.inventory(array)


@pytest.mark.parametrize("options,words", [
    (dict(window="hexagon", rank=1), "'hexagon'.*square, circle, mesh"),
    (dict(window="square", rank=-1), "rank -1.*0 to 23169"),
    (dict(window="square", rank=23170), "rank 23170.*0 to 23169"),
    (dict(window="square"), "rank"),
    (dict(window="square", surface_km2=1.0), "pixel_size"),
    (dict(window="square", rank=1, metrics=("diversity", "richness")),
     "'richness'.*diversity, homogeneity, shannon, simpson, evenness, dominant, share:CODE"),
    (dict(window="square", rank=1, metrics=("share:300",)), "'share:300'.*0 to 254"),
    (dict(window="square", rank=1, metrics=()), "no metric"),
    (dict(window="square", rank=1, min_valid=0), "min_valid.*got 0"),
    (dict(window="square", rank=1, min_valid=101), "min_valid.*got 101"),
    (dict(window="square", rank=1, threads=0), "threads"),
])
def test_options_refused(options, words):
    with pytest.raises(ValueError, match=words):
        lm.scan(codes_map(), **options)
    if "rank" in options and "window" in options and options["rank"] != 1:
        pytest.importorskip("dask.array")
        import landmosaic.dask
        import dask.array as da
        with pytest.raises(ValueError, match=words):
            landmosaic.dask.scan(da.from_array(codes_map()), **options)


def test_ctrl_c_stops_a_long_scan_within_a_second(tmp_path):
    a = np.random.default_rng(2).integers(0, 60, (4000, 4000), dtype=np.uint8)
    raster = write_raw_map(str(tmp_path), a)
    # Within a second; the sanitizers' runtime (a check made by hand) slows every step.
    limit = 5.0 if "asan" in os.environ.get("LD_PRELOAD", "") else 1.0
    for work in (lambda: lm.scan(a, "circle", 40, threads=1),
                 lambda: lm.run(raster, window="circle", rank=40, threads=1, format="raw",
                                output=str(tmp_path / "stopped"))):
        sent = []

        def interrupt():
            sent.append(time.monotonic())
            os.kill(os.getpid(), signal.SIGINT)

        timer = threading.Timer(0.3, interrupt)
        timer.start()
        try:
            with pytest.raises(KeyboardInterrupt):
                work()
            assert sent and time.monotonic() - sent[0] < limit
        finally:
            timer.cancel()
    # The stopped run wrote nothing, not even a temporary file.
    assert sorted(os.listdir(tmp_path)) == ["codes.raw", "codes.txt"]


def test_xarray_keeps_coordinates_crs_and_no_data():
    xr = pytest.importorskip("xarray")
    import landmosaic.xarray as lx

    a = codes_map()
    x = 2500000.0 + 25.0 * np.arange(a.shape[1]) + 12.5
    y = 1200000.0 - 25.0 * np.arange(a.shape[0]) - 12.5
    values = np.where(a == 255, 0, a + 1).astype(np.int16)  # 0 is this map's no-data
    da = xr.DataArray(values[np.newaxis], dims=("band", "y", "x"),
                      coords={"band": [1], "y": y, "x": x}, attrs={"_FillValue": 0})
    try:
        import rioxarray  # noqa: F401
        da = da.rio.write_crs("EPSG:2056")
    except ImportError:
        rioxarray = None

    ds = lx.scan(da, "circle", surface_km2=0.02)
    rank = lm.rank_for_surface(0.02, 25, "circle")
    want = lm.scan(np.where(a == 255, 255, a + 1).astype(np.uint8), "circle", rank)
    assert set(ds.data_vars) == {"diversity", "homogeneity"}
    for name in want:
        assert ds[name].dims == ("y", "x")
        np.testing.assert_array_equal(ds[name].values, want[name])
        assert ds[name].attrs["_FillValue"] == 255
    np.testing.assert_array_equal(ds.x.values, x)
    np.testing.assert_array_equal(ds.y.values, y)
    assert ds.attrs["landmosaic_rank"] == rank
    if rioxarray is not None:
        assert ds.rio.crs.to_epsg() == 2056
        assert ds.rio.transform() == da.rio.transform()

    # NaN as no-data in a float map read masked, and a dask-backed DataArray.
    masked = xr.DataArray(np.where(a == 255, np.nan, a).astype(np.float32), dims=("y", "x"),
                          coords={"y": y, "x": x})
    np.testing.assert_array_equal(lx.scan(masked, "square", 2)["diversity"].values,
                                  lm.scan(a, "square", 2)["diversity"])
    pytest.importorskip("dask.array")
    lazy = lx.scan(masked.chunk({"y": 13, "x": 20}), "square", 2)
    np.testing.assert_array_equal(lazy["homogeneity"].values, lm.scan(a, "square", 2)["homogeneity"])
    with pytest.raises(TypeError, match="whole class codes"):
        lx.scan(masked + 0.5, "square", 1)


def test_dask_on_a_two_process_cluster_equals_the_whole_scan():
    da = pytest.importorskip("dask.array")
    distributed = pytest.importorskip("distributed")
    import landmosaic.dask as ld

    a = codes_map(rows=67, cols=59, seed=5)
    # Uneven chunks, and chunks thinner than the halo.
    chunkings = [((20, 30, 17), (9, 25, 25)), ((3, 64), (59,))]
    # Small regular chunks on the threaded scheduler, in this process.
    for window, rank in WINDOWS + [("circle", 6), ("mesh", 4)]:
        got = ld.scan(da.from_array(a, chunks=(11, 16)), window, rank)
        for name, want in lm.scan(a, window, rank).items():
            np.testing.assert_array_equal(got[name].compute(scheduler="threads"), want)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        cases, lazy = [], []
        for window, rank in WINDOWS + [("circle", 6), ("mesh", 4)]:
            for chunks in chunkings:
                for options in ({}, dict(metrics=ALL_METRICS, min_valid=40)):
                    cases.append((window, rank, chunks, options))
                    lazy.append(ld.scan(da.from_array(a, chunks=chunks), window, rank, **options))
        # One graph for all: the cluster's round trips are the test's time.
        for (window, rank, chunks, options), computed in zip(cases,
                                                             client.compute(lazy, sync=True)):
            want = lm.scan(a, window, rank, **options)
            assert list(computed) == list(want)
            for name in want:
                np.testing.assert_array_equal(computed[name], want[name],
                                              err_msg=f"{window} {rank} {chunks} {name}")
        # A code outside 0..255 is found where the chunk is scanned.
        with pytest.raises(ValueError, match="0..255"):
            client.compute(ld.scan(da.from_array(a.astype(np.int16) * 2, chunks=20), "square",
                                   1)["diversity"], sync=True)
