// The Python module's native part: numpy arrays in and out of the run's steps. The
// arrays are read and written in place through a memory row source and sinks; the GIL is
// released while the engine works, and taken back a few times a second to see whether
// Ctrl-C was pressed.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <climits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/array_scan.h"
#include "app/run.h"
#include "cli/command_line.h"
#include "cli/json_summary.h"
#include "engine/memory_rows.h"
#include "text/status_text.h"
#include "window/geometry.h"
#include "window/shapes.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// The metric names the command line takes, "share:CODE" for the shares.
std::vector<std::string> metric_names() {
    std::vector<std::string> names;
    for (const metrics::Row& r : metrics::table())
        names.push_back(r.id == metrics::Id::Share ? std::string(r.name) + ":CODE" : r.name);
    return names;
}

// The key of a metric's array: its name, a share written "share7".
std::string metric_key(const metrics::Metric& m) {
    std::string k = m.name();
    k.erase(std::remove(k.begin(), k.end(), ':'), k.end());
    return k;
}

std::string shape_text(const py::array& a) {
    return py::repr(a.attr("shape")).cast<std::string>();
}

// A map of class codes as the engine reads it: uint8 rows whose pixels are consecutive.
// A uint8 array with such rows is taken as it is (no copy); any other layout or integer
// type is copied once, after its values are checked.
py::array codes_of(py::handle obj) {
    py::module_ np = py::module_::import("numpy");
    py::array a = py::array::ensure(obj);
    if (!a) a = np.attr("asarray")(obj);
    const py::dtype dt = a.dtype();
    const char kind = dt.kind();
    if (kind != 'u' && kind != 'i')
        throw py::type_error("a map of integer class codes (0..255, 255: no class) is required; "
                             "got an array of dtype " +
                             dt.attr("name").cast<std::string>());
    if (a.ndim() != 2)
        throw py::value_error("a 2-D array (rows, columns) is required; got " +
                              std::to_string(a.ndim()) + " dimensions, shape " + shape_text(a));
    if (a.size() == 0)
        throw py::value_error("the array is empty (shape " + shape_text(a) +
                              "): a map of at least one pixel is required");
    if (a.shape(0) > INT_MAX || a.shape(1) > INT_MAX)
        throw py::value_error("the array has shape " + shape_text(a) +
                              ": at most 2147483647 rows and columns are allowed");
    if (dt.itemsize() == 1 && kind == 'u') {
        if (a.strides(1) == 1) return a;
        return np.attr("ascontiguousarray")(a);
    }
    const long long lo = a.attr("min")().cast<long long>();
    const long long hi = kind == 'u' && dt.itemsize() == 8
                             ? static_cast<long long>(std::min<unsigned long long>(
                                   a.attr("max")().cast<unsigned long long>(), LLONG_MAX))
                             : a.attr("max")().cast<long long>();
    if (lo < 0 || hi > 255)
        throw py::value_error("class codes must be 0..255 (255: no class); the array holds values "
                              "from " +
                              std::to_string(lo) + " to " + std::to_string(hi));
    return np.attr("ascontiguousarray")(a, "dtype"_a = "uint8");
}

WindowKind window_of(const std::string& name) {
    if (const WindowShape* shape = window_shape_named(name)) return shape->kind;
    std::string allowed;
    for (const WindowShape& shape : kWindowShapes)
        allowed += (allowed.empty() ? "" : ", ") + std::string(shape.name);
    throw py::value_error("window '" + name + "' does not exist; allowed: " + allowed);
}

// Asks, at most every 50 ms, whether a signal came (Ctrl-C), with the GIL taken back for
// the moment it takes. Called by the engine on the thread that released the GIL, in row
// order. The exception the signal handler raised is kept, to be raised once the engine
// has stopped.
class SignalWatch {
  public:
    bool operator()(int, int) {
        const auto now = std::chrono::steady_clock::now();
        if (now < next_) return !stopped_;
        next_ = now + std::chrono::milliseconds(50);
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            PyErr_Fetch(&type_, &value_, &trace_);
            stopped_ = true;
        }
        return !stopped_;
    }
    bool stopped() const { return stopped_; }
    // With the GIL held: the exception of the signal, raised.
    [[noreturn]] void raise() {
        PyErr_Restore(type_, value_, trace_);
        type_ = value_ = trace_ = nullptr;
        if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }

  private:
    std::chrono::steady_clock::time_point next_{};
    bool stopped_ = false;
    PyObject *type_ = nullptr, *value_ = nullptr, *trace_ = nullptr;
};

// The rank of a request: None (then a surface and a pixel size), or 0..kMaxRank.
int rank_of(const py::object& rank) {
    if (rank.is_none()) return -1;
    if (py::isinstance<py::bool_>(rank) || !py::isinstance<py::int_>(rank))
        throw py::type_error("rank must be an integer or None");
    const long long r = rank.cast<long long>();
    if (r < 0 || r > kMaxRank)
        throw py::value_error("rank " + std::to_string(r) + " is out of range; allowed: 0 to " +
                              std::to_string(kMaxRank));
    return static_cast<int>(r);
}

double positive_or_none(const py::object& v, const char* what, double none_value) {
    if (v.is_none()) return none_value;
    const double x = v.cast<double>();
    if (!(x > 0))
        throw py::value_error(std::string(what) + " must be above 0; got " +
                              py::repr(v).cast<std::string>());
    return x;
}

ArrayScanRequest request_of(const std::string& window, const py::object& rank,
                            const py::object& surface_km2, const py::object& pixel_size,
                            const py::object& threads) {
    ArrayScanRequest req;
    req.window = window_of(window);
    req.rank = rank_of(rank);
    req.surface_km2 = surface_km2.is_none() ? -1 : surface_km2.cast<double>();
    if (!surface_km2.is_none() && !(req.surface_km2 >= 0))
        throw py::value_error("surface_km2 must be 0 or more; got " +
                              py::repr(surface_km2).cast<std::string>());
    req.pixel_size = positive_or_none(pixel_size, "pixel_size", 0);
    if (!threads.is_none()) {
        const long long t = threads.cast<long long>();
        if (t < 1 || t > 4096)
            throw py::value_error("threads must be 1 to 4096, or None for every core; got " +
                                  std::to_string(t));
        req.threads = static_cast<int>(t);
    }
    if (req.rank < 0 && req.surface_km2 < 0)
        throw py::value_error("give a rank (0 to " + std::to_string(kMaxRank) +
                              "), or surface_km2 with pixel_size");
    if (req.rank < 0 && req.pixel_size <= 0)
        throw py::value_error("surface_km2 gives a rank only with pixel_size (metres per pixel)");
    return req;
}

// The metrics asked for, checked: names as the command line takes them, a share also
// written "share7" as its key is.
std::vector<metrics::Metric> metrics_of(const py::object& names, std::vector<std::string>& cli) {
    cli.clear();
    auto add = [&](py::handle m) {
        if (!py::isinstance<py::str>(m))
            throw py::type_error("metric names are strings; got " + py::repr(m).cast<std::string>());
        std::string name = m.cast<std::string>();
        if (name.size() > 5 && name.compare(0, 5, "share") == 0 &&
            std::isdigit(static_cast<unsigned char>(name[5])))
            name.insert(5, ":");
        cli.push_back(name);
    };
    if (py::isinstance<py::str>(names))
        add(names);
    else
        for (py::handle m : names) add(m);
    std::vector<metrics::Metric> ms;
    if (Status s = metrics::parse(cli, ms); !s.ok()) throw py::value_error(status_line(s, 0, true));
    return ms;
}

double min_valid_of(const py::object& v) {
    if (v.is_none()) return 0;
    const double x = v.cast<double>();
    if (!(x > 0 && x <= 100))
        throw py::value_error("min_valid is a percent above 0 and at most 100 (or None); got " +
                              py::repr(v).cast<std::string>());
    return x;
}

// (key, dtype) of each metric asked for, in order.
py::list metric_info(const py::object& names) {
    std::vector<std::string> cli;
    py::list info;
    for (const metrics::Metric& m : metrics_of(names, cli))
        info.append(py::make_tuple(metric_key(m),
                                   m.type() == metrics::Type::Real ? "float32" : "uint8"));
    return info;
}

[[noreturn]] void raise_failure(const Status& s) {
    if (s.code == Status::Code::OutOfMemory) throw std::bad_alloc();
    if (s.code == Status::Code::Usage) throw py::value_error(s.detail);
    throw std::runtime_error(s.detail.empty() ? "the scan failed" : s.detail);
}

py::dict scan(const py::object& array, const std::string& window, const py::object& rank,
              const py::object& surface_km2, const py::object& pixel_size,
              const py::object& metrics, const py::object& min_valid, const py::object& threads) {
    ArrayScanRequest req = request_of(window, rank, surface_km2, pixel_size, threads);
    const std::vector<metrics::Metric> wanted = metrics_of(metrics, req.metrics);
    req.min_valid = min_valid_of(min_valid);
    const py::array map = codes_of(array);
    const int rows = static_cast<int>(map.shape(0)), cols = static_cast<int>(map.shape(1));
    std::vector<py::array> results;
    std::vector<std::unique_ptr<engine::MemorySink>> sinks;
    std::vector<engine::RowSink*> to;
    for (const metrics::Metric& m : wanted) {
        const bool real = m.type() == metrics::Type::Real;
        py::array a = real ? py::array(py::array_t<float>({map.shape(0), map.shape(1)}))
                           : py::array(py::array_t<std::uint8_t>({map.shape(0), map.shape(1)}));
        const long long row_bytes = static_cast<long long>(cols) * (real ? 4 : 1);
        sinks.push_back(std::make_unique<engine::MemorySink>(
            static_cast<unsigned char*>(a.mutable_data()), rows, row_bytes, row_bytes));
        to.push_back(sinks.back().get());
        results.push_back(std::move(a));
    }
    engine::MemorySource src(static_cast<const unsigned char*>(map.data()), rows, cols,
                             map.strides(0), req.pixel_size);
    SignalWatch watch;
    ArrayScanOutcome out;
    {
        py::gil_scoped_release release;
        out = scan_array(src, req, to, [&](int row, int n) { return watch(row, n); });
    }
    if (out.cancelled) watch.raise();
    if (!out.failure.ok()) raise_failure(out.failure);
    py::dict result;
    for (std::size_t k = 0; k < wanted.size(); ++k) result[py::str(metric_key(wanted[k]))] = results[k];
    return result;
}

py::list inventory(const py::object& array) {
    const py::array map = codes_of(array);
    engine::MemorySource src(static_cast<const unsigned char*>(map.data()),
                             static_cast<int>(map.shape(0)), static_cast<int>(map.shape(1)),
                             map.strides(0));
    SignalWatch watch;
    ArrayScanOutcome out;
    {
        py::gil_scoped_release release;
        out = array_inventory(src, [&](int row, int n) { return watch(row, n); });
    }
    if (out.cancelled) watch.raise();
    if (!out.failure.ok()) raise_failure(out.failure);
    py::list items;
    for (int k = 1; k <= out.inv.num_item; ++k)
        items.append(py::make_tuple(out.inv.number_item[k], out.inv.num_pixel_item[k],
                                    out.inv.percent_item[k]));
    return items;
}

int rank_for_surface(double km2, double pixel_size, const std::string& window) {
    const WindowKind w = window_of(window);
    if (!(km2 >= 0)) throw py::value_error("km2 must be 0 or more; got " + std::to_string(km2));
    if (!(pixel_size > 0))
        throw py::value_error("pixel_size must be above 0; got " + std::to_string(pixel_size));
    const int r = advised_rank(w, pixel_size, km2);
    if (r < 0 || r > kMaxRank)
        throw py::value_error("the rank for that surface, " + std::to_string(r) +
                              ", is outside 0 to " + std::to_string(kMaxRank));
    return r;
}

py::object window_surface(const std::string& window, const py::object& rank,
                          const py::object& pixel_size) {
    const WindowKind w = window_of(window);
    const int r = rank_of(rank);
    if (r < 0) throw py::value_error("rank is required (0 to " + std::to_string(kMaxRank) + ")");
    const double edge = positive_or_none(pixel_size, "pixel_size", 1.0);
    Window win;
    Status s = window_sizes(win, w == WindowKind::Mesh ? 0 : 1, w == WindowKind::Circle ? 1 : 0,
                            r, edge);
    if (!s.ok()) raise_failure(s);
    const long long pixels = w == WindowKind::Circle ? win.num_pix_circ : win.surf_tot;
    if (pixel_size.is_none()) return py::int_(pixels);
    return py::float_(static_cast<double>(pixels) * edge * edge / 1e6);
}

// A whole run from the command line's arguments: (exit status, JSON summary, messages).
py::tuple run(const std::vector<std::string>& args) {
    std::vector<const char*> argv = {"landmosaic"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    CommandLine cl;
    cl.program = "landmosaic";
    cl.has_dialogue = false;
    std::ostringstream out, err;
    const int parsed =
        parse_command_line(static_cast<int>(argv.size()), argv.data(), cl, out, err);
    if (parsed >= 0) return py::make_tuple(parsed, py::none(), err.str() + out.str());
    SignalWatch watch;
    RunOutcome outcome;
    int status = 0;
    {
        py::gil_scoped_release release;
        // A run stopped by Ctrl-C writes no result file.
        outcome = run_landmosaic(cl.req, [&](int row, int rows) { return watch(row, rows); });
        if (!watch.stopped()) status = finish_command_line(cl, outcome, out, err);
    }
    if (watch.stopped()) watch.raise();
    return py::make_tuple(status, json_summary(cl.req, outcome), err.str());
}

}  // namespace

PYBIND11_MODULE(_landmosaic, m) {
    m.doc() = "The native part of the landmosaic package (use the functions of landmosaic).";
    m.attr("MAX_RANK") = kMaxRank;
    m.attr("METRICS") = py::tuple(py::cast(metric_names()));
    m.def("scan", &scan, "array"_a, "window"_a, "rank"_a = py::none(), py::kw_only(),
          "surface_km2"_a = py::none(), "pixel_size"_a = py::none(),
          "metrics"_a = py::make_tuple("diversity", "homogeneity"), "min_valid"_a = py::none(),
          "threads"_a = py::none());
    m.def("inventory", &inventory, "array"_a);
    m.def("rank_for_surface", &rank_for_surface, "km2"_a, "pixel_size"_a, "window"_a);
    m.def("window_surface", &window_surface, "window"_a, "rank"_a, "pixel_size"_a = py::none());
    m.def("_run", &run, "args"_a);
    m.def("_metric_info", &metric_info, "metrics"_a);
}
