#include "engine/mpi/mpi_bands.h"

#include <mpi.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <variant>
#include <vector>

#include "formats/format.h"
#include "raster/inventory.h"
#include "raster/output_file.h"
#include "text/catalogue.h"

namespace engine::mpi {

namespace {

struct World {
    int rank = 0;
    int size = 1;
};

World world_of(MPI_Comm comm) {
    World w;
    MPI_Comm_rank(comm, &w.rank);
    MPI_Comm_size(comm, &w.size);
    return w;
}

// The status of the rank that failed (the first of the most serious fault), on every rank.
Status agree(const Status& mine);

void bcast_string(std::string& s, int root) {
    long long n = static_cast<long long>(s.size());
    MPI_Bcast(&n, 1, MPI_LONG_LONG, root, MPI_COMM_WORLD);
    s.resize(static_cast<std::size_t>(n));
    if (n > 0) MPI_Bcast(s.data(), static_cast<int>(n), MPI_CHAR, root, MPI_COMM_WORLD);
}

// A status as bytes, to go from the rank that has it to the others. Its texts go as
// their words (the catalogue's Text may lie at another address in another process, or in
// the GDAL module) and come back as texts kept for the rest of the run.
void put_bytes(std::string& out, const void* p, std::size_t n) {
    out.append(static_cast<const char*>(p), n);
}
void put_string(std::string& out, const std::string& s) {
    const std::uint64_t n = s.size();
    put_bytes(out, &n, sizeof n);
    out += s;
}
void put_text(std::string& out, const Text* t) {
    const char present = t ? 1 : 0;
    put_bytes(out, &present, 1);
    if (!t) return;
    for (const Msg* m : {&t->en, &t->fr, &t->es}) {
        put_string(out, m->text ? m->text : "");
        put_bytes(out, m->acc.data(), m->acc.size());
    }
}

std::string encode(const Status& s) {
    std::string out;
    const int code = static_cast<int>(s.code);
    put_bytes(out, &code, sizeof code);
    put_string(out, s.file);
    put_string(out, s.detail);
    put_text(out, s.message);
    put_text(out, s.reason);
    const std::uint64_t n = s.args.size();
    put_bytes(out, &n, sizeof n);
    for (const StatusValue& v : s.args) {
        const char kind = static_cast<char>(v.index());
        put_bytes(out, &kind, 1);
        if (const auto* i = std::get_if<long long>(&v))
            put_bytes(out, i, sizeof *i);
        else if (const auto* d = std::get_if<double>(&v))
            put_bytes(out, d, sizeof *d);
        else
            put_string(out, std::get<std::string>(v));
    }
    return out;
}

class Decoder {
  public:
    explicit Decoder(const std::string& in) : in_(in) {}
    template <class T>
    T get() {
        T v{};
        std::memcpy(&v, in_.data() + at_, sizeof v);
        at_ += sizeof v;
        return v;
    }
    std::string string() {
        const auto n = static_cast<std::size_t>(get<std::uint64_t>());
        std::string s = in_.substr(at_, n);
        at_ += n;
        return s;
    }
    // The words of a text sent by another rank, kept until the process ends: a status
    // points at its texts and may be printed at the very end of the run.
    const Text* text() {
        if (get<char>() == 0) return nullptr;
        struct Kept {
            std::string words[3];
            Text text;
        };
        static std::deque<Kept> kept;
        Kept& k = kept.emplace_back();
        Msg* msgs[3] = {&k.text.en, &k.text.fr, &k.text.es};
        for (int l = 0; l < 3; ++l) {
            k.words[l] = string();
            msgs[l]->text = k.words[l].c_str();
            std::memcpy(msgs[l]->acc.data(), in_.data() + at_, msgs[l]->acc.size());
            at_ += msgs[l]->acc.size();
        }
        return &k.text;
    }

  private:
    const std::string& in_;
    std::size_t at_ = 0;
};

Status decode(const std::string& in) {
    Decoder d(in);
    Status s;
    s.code = static_cast<Status::Code>(d.get<int>());
    s.file = d.string();
    s.detail = d.string();
    s.message = d.text();
    s.reason = d.text();
    const auto n = d.get<std::uint64_t>();
    for (std::uint64_t k = 0; k < n; ++k) {
        const char kind = d.get<char>();
        if (kind == 0)
            s.args.emplace_back(d.get<long long>());
        else if (kind == 1)
            s.args.emplace_back(d.get<double>());
        else
            s.args.emplace_back(d.string());
    }
    return s;
}

// A forward-only source seen through a window of the last rows read, so that rank 0 can
// hand out the rows of consecutive bands, halos included, reading the grid once.
class RowCache {
  public:
    RowCache(RowSource& src, int capacity)
        : src_(src),
          lines_(std::max(capacity, 1)),
          rows_(ucmatrice(src.info().nb_col, lines_), lines_) {}
    bool allocated() const { return static_cast<bool>(rows_); }
    // Rows [y, y + n), y never below the first row asked for before; the pointers stay
    // valid until the next call.
    Status rows(int y, int n, unsigned char* const*& out) {
        unsigned char** ring = rows_.get();
        if (y < first_ || n > lines_) return Status::refused({}, txt::reason_cannot_open);
        const int drop = std::min(y, end_) - first_;
        std::rotate(ring, ring + drop, ring + lines_);
        first_ += drop;
        if (end_ < y) {
            // Rows between the bands (never with consecutive bands) are read and dropped.
            while (end_ < y) {
                Status st = src_.read(end_, 1, ring);
                if (!st.ok()) return st;
                ++end_;
            }
            first_ = end_;
        }
        if (y + n > end_) {
            Status st = src_.read(end_, y + n - end_, ring + (end_ - first_));
            if (!st.ok()) return st;
            end_ = y + n;
        }
        out = ring + (y - first_);
        return {};
    }

  private:
    RowSource& src_;
    int lines_;
    ByteGrid rows_;
    int first_ = 0, end_ = 0;  // rows held at ring positions 0..
};

// Copies rows out of the cache for rank 0's own band.
class CacheSource final : public RowSource {
  public:
    CacheSource(RowCache& cache, const MapInfo& info) : cache_(cache) { info_ = info; }
    Status read(int y, int n, unsigned char* const* rows) override {
        unsigned char* const* got = nullptr;
        Status st = cache_.rows(y, n, got);
        if (!st.ok()) return st;
        for (int k = 0; k < n; ++k)
            std::memcpy(rows[k], got[k], static_cast<std::size_t>(info_.nb_col));
        return {};
    }

  private:
    RowCache& cache_;
};

// The rows of a band, received from rank 0 one message per row.
class ReceivedSource final : public RowSource {
  public:
    explicit ReceivedSource(const MapInfo& info) { info_ = info; }
    Status read(int, int n, unsigned char* const* rows) override {
        for (int k = 0; k < n; ++k)
            MPI_Recv(rows[k], info_.nb_col, MPI_UNSIGNED_CHAR, 0, 1, MPI_COMM_WORLD,
                     MPI_STATUS_IGNORE);
        return {};
    }
};

// One result image written by every rank with MPI-IO into a temporary file, renamed by
// rank 0 once all is done. The bytes are those the format's own sink writes: its byte
// layout gives the header, where each row goes and what it holds, and the file beside
// the image (the raw header).
class MpiSink final : public RowSink {
  public:
    MpiSink(const MapInfo& info, World w) : info_(info), w_(w) {}
    ~MpiSink() override {
        if (!finished_) (void)finish(false);
    }
    bool collective() const override { return true; }
    // Every rank calls it for each round of bands, rows or none: see round().
    Status write(int y, int n, const unsigned char* const* rows) override {
        round(true, y, n, rows);
        return failed_;
    }
    Status commit() override { return finish(true); }

    Status open(const formats::Format& format, const std::string& base) {
        name_ = base + format.extension();
        Status st;
        if (!format.layout || !format.layout(info_, layout_)) st = Status::not_written(name_);
        if (st.ok() && layout_.stride > 0 && layout_.too_large(info_.nb_lig))
            st = Status::not_written(name_);
        if (st.ok() && w_.rank == 0 && !layout_.side_extension.empty()) {
            const std::string side = base + layout_.side_extension;
            const std::string& text = layout_.side_bytes;
            if (!side_.open(side) || !side_.write(text.data(), text.size()))
                st = Status::not_written(side);
        }
        // Rank 0 makes the temporary file as every writer makes it; all ranks then open it
        // with MPI-IO, and rank 0 commits it in the end.
        std::string temp;
        if (w_.rank == 0 && !file_.open(name_) && st.ok()) st = Status::not_written(name_);
        failed_ = agree(st);
        if (!failed_.ok()) return failed_;
        if (w_.rank == 0) temp = file_.temp_path();
        bcast_string(temp, 0);
        int rc = MPI_File_open(MPI_COMM_WORLD, temp.c_str(), MPI_MODE_WRONLY, MPI_INFO_NULL, &fh_);
        opened_ = rc == MPI_SUCCESS;
        if (!opened_ && st.ok()) st = Status::not_written(name_);
        const std::string& head = layout_.head;
        if (opened_ && w_.rank == 0 && !head.empty() && st.ok()) {
            if (!write_at(0, head.data(), head.size())) st = failed_;
        }
        text_at_ = static_cast<long long>(head.size());
        failed_ = agree(st);
        return failed_;
    }

    // One round of bands: every rank calls it, with its band's rows or none.
    void round(bool has, int y, int n, const unsigned char* const* rows) {
        if (layout_.stride == 0) {
            // Rows of text: those of each band start after those of every band before it.
            long long mine = 0;
            for (int k = 0; has && k < n; ++k) {
                layout_.row_bytes(rows[k], info_.nb_col, bytes_);
                mine += static_cast<long long>(bytes_.size());
            }
            std::vector<long long> sizes(static_cast<std::size_t>(w_.size));
            MPI_Allgather(&mine, 1, MPI_LONG_LONG, sizes.data(), 1, MPI_LONG_LONG, MPI_COMM_WORLD);
            long long at = text_at_;
            for (int r = 0; r < w_.rank; ++r) at += sizes[static_cast<std::size_t>(r)];
            for (long long s : sizes) text_at_ += s;
            if (!has || !failed_.ok()) return;
            for (int k = 0; k < n; ++k) {
                layout_.row_bytes(rows[k], info_.nb_col, bytes_);
                if (!write_at(at, bytes_.data(), bytes_.size())) return;
                at += static_cast<long long>(bytes_.size());
            }
            return;
        }
        if (!has || !failed_.ok()) return;
        for (int k = 0; k < n; ++k) {
            layout_.row_bytes(rows[k], info_.nb_col, bytes_);
            if (!write_at(layout_.offset(y + k, info_.nb_lig), bytes_.data(), bytes_.size()))
                return;
        }
    }

    // Closes the file everywhere; rank 0 gives it its final name when every rank wrote
    // its rows and `keep` holds, and removes it otherwise. The same status on every rank.
    Status finish(bool keep) {
        finished_ = true;
        // Every rank's bytes reach the file system before the file is judged: a disk
        // that fills up may only say so now.
        if (opened_ && keep && MPI_File_sync(fh_) != MPI_SUCCESS && failed_.ok())
            failed_ = Status::not_written(name_);
        if (opened_ && MPI_File_close(&fh_) != MPI_SUCCESS && failed_.ok())
            failed_ = Status::not_written(name_);
        opened_ = false;
        Status st = agree(failed_);
        if (w_.rank == 0) {
            // The file beside the image comes into place first, as the format's own sink
            // puts it.
            if (keep && st.ok() && side_.is_open() && !side_.commit())
                st = Status::not_written(side_.final_path());
            if (keep && st.ok() && !file_.commit()) st = Status::not_written(name_);
            side_.abandon();
            file_.abandon();
        }
        return agree(st);
    }

  private:
    // Writes the n bytes at `offset`; a short write (a full disk) fails as an error does.
    bool write_at(long long offset, const void* data, std::size_t n) {
        MPI_Status status;
        const int rc = MPI_File_write_at(fh_, static_cast<MPI_Offset>(offset), data,
                                         static_cast<int>(n), MPI_BYTE, &status);
        int written = -1;
        const bool ok = rc == MPI_SUCCESS &&
                        MPI_Get_count(&status, MPI_BYTE, &written) == MPI_SUCCESS &&
                        written == static_cast<int>(n);
        if (!ok && failed_.ok()) failed_ = Status::not_written(name_);
        return ok;
    }

    MapInfo info_;
    World w_;
    formats::ByteLayout layout_;
    OutputFile file_;  // the image, rank 0
    OutputFile side_;  // the file beside it (the raw header), rank 0
    MPI_File fh_{};
    bool opened_ = false;
    bool finished_ = false;
    Status failed_;
    long long text_at_ = 0;  // where the next round's text starts
    std::string bytes_;      // a row as stored
};

// Where the result rows of each image go: the sinks every rank writes (MPI-IO), those
// rank 0 writes alone with the rows of every band, and rank 0's pictures of images every
// rank writes, which are shown the rows of every band. Known on every rank.
struct Routes {
    std::vector<MpiSink*> team;   // null: not written by every rank
    std::vector<RowSink*> alone;  // null: not written by rank 0 alone
    std::vector<RowSink*> shown;  // rank 0's picture of a team image (null elsewhere)
    std::vector<char> gathered;   // the rows of every band go to rank 0
    std::vector<int> row_bytes;   // the width in bytes of a row of each image
    int widest = 0;               // of the images rank 0 writes alone
    bool any = false;             // some rows go to rank 0 (its own, with one rank)
};

Routes route(const std::vector<RowSink*>& sinks, const BandJob& job, const MapInfo& info) {
    Routes r;
    for (std::size_t i = 0; i < sinks.size(); ++i) {
        RowSink* s = sinks[i];
        RowSink* writer = s && s->inner() ? s->inner() : s;
        r.team.push_back(dynamic_cast<MpiSink*>(writer));
        r.alone.push_back(r.team.back() ? nullptr : s);
        r.shown.push_back(r.team.back() && writer != s ? s : nullptr);
        const bool real = i < job.metrics.size() && job.metrics[i].type() == metrics::Type::Real;
        r.row_bytes.push_back(info.nb_col * (real ? 4 : 1));
        if (r.alone.back()) r.widest = std::max(r.widest, r.row_bytes.back());
        r.gathered.push_back(r.alone.back() || r.shown.back() ? 1 : 0);
    }
    // Rank 0 alone knows which team images it makes pictures of.
    if (!r.gathered.empty())
        MPI_Bcast(r.gathered.data(), static_cast<int>(r.gathered.size()), MPI_CHAR, 0,
                  MPI_COMM_WORLD);
    r.any = std::find(r.gathered.begin(), r.gathered.end(), 1) != r.gathered.end();
    return r;
}

// Hands the result rows of one round of bands to rank 0's sinks (see Routes): rank 0
// takes its own band, then receives those of the other bands of the round, in order, and
// writes each band in one call, image after image in the job's order, as the
// single-process run does, so that the writer, which caches blocks of every file, makes
// the same files; a picture is shown its rows one at a time. The other ranks send theirs.
// `band` holds one band of the widest image rank 0 writes alone, `row` one row of any.
Status gather(const Routes& to, World w, int round, const BandPlan& plan, bool treated,
              const BandTreatment& t, ByteGrid& band, std::vector<unsigned char>& row) {
    Status st;
    const int b = round * w.size + w.rank;
    const std::size_t images = to.gathered.size();
    if (w.rank != 0) {
        if (b >= plan.bands) return st;
        int word = treated ? 0 : 1;
        MPI_Send(&word, 1, MPI_INT, 0, 2, MPI_COMM_WORLD);
        for (std::size_t i = 0; treated && i < images; ++i)
            for (int k = 0; to.gathered[i] && k < t.n(); ++k)
                MPI_Send(t.rows(i)[k], to.row_bytes[i], MPI_UNSIGNED_CHAR, 0, 2, MPI_COMM_WORLD);
        return st;
    }
    for (std::size_t i = 0; treated && i < images; ++i) {
        if (to.alone[i] && st.ok()) st = to.alone[i]->write(t.y0(), t.n(), t.rows(i));
        if (to.shown[i]) to.shown[i]->look(t.y0(), t.n(), t.rows(i));
    }
    for (int r = 1; r < w.size && round * w.size + r < plan.bands; ++r) {
        const int bb = round * w.size + r;
        int word = 0;
        MPI_Recv(&word, 1, MPI_INT, r, 2, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        if (word != 0) continue;
        for (std::size_t i = 0; i < images; ++i) {
            if (!to.gathered[i]) continue;
            for (int k = 0; k < plan.rows(bb); ++k) {
                unsigned char* into = to.alone[i] ? band[k] : row.data();
                MPI_Recv(into, to.row_bytes[i], MPI_UNSIGNED_CHAR, r, 2, MPI_COMM_WORLD,
                         MPI_STATUS_IGNORE);
                if (to.shown[i]) to.shown[i]->look(plan.first_row(bb) + k, 1, &into);
            }
            if (to.alone[i] && st.ok())
                st = to.alone[i]->write(plan.first_row(bb), plan.rows(bb), band.get());
        }
    }
    return st;
}

// The totals of every rank, on every rank.
DiversityTotals sum_totals(const DiversityTotals& mine) {
    DiversityTotals sum;
    MPI_Allreduce(mine.histo_div, sum.histo_div, 260, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
    MPI_Allreduce(&mine.max_histo, &sum.max_histo, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
    std::int64_t windows[2] = {mine.windows.windows, mine.windows.with_unclassified}, all[2];
    MPI_Allreduce(windows, all, 2, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
    sum.windows = {all[0], all[1]};
    sum.planes.resize(mine.planes.size());
    for (std::size_t p = 0; p < mine.planes.size(); ++p) {
        const PlaneStats& m = mine.planes[p];
        PlaneStats& s = sum.planes[p];
        MPI_Allreduce(m.histogram, s.histogram, 256, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
        MPI_Allreduce(&m.values, &s.values, 1, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
        MPI_Allreduce(&m.sum_fixed, &s.sum_fixed, 1, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
        // A rank without values takes no part in the least and the largest.
        const double lo = m.values > 0 ? m.min : HUGE_VAL, hi = m.values > 0 ? m.max : -HUGE_VAL;
        MPI_Allreduce(&lo, &s.min, 1, MPI_DOUBLE, MPI_MIN, MPI_COMM_WORLD);
        MPI_Allreduce(&hi, &s.max, 1, MPI_DOUBLE, MPI_MAX, MPI_COMM_WORLD);
        if (s.values == 0) s.min = s.max = 0;
    }
    return sum;
}

Status agree(const Status& mine) {
    const World w = world_of(MPI_COMM_WORLD);
    int in[2] = {static_cast<int>(mine.code), w.rank};
    int out[2] = {0, 0};
    MPI_Allreduce(in, out, 1, MPI_2INT, MPI_MAXLOC, MPI_COMM_WORLD);
    if (out[0] == 0) return {};
    if (out[1] == w.rank) {
        std::string bytes = encode(mine);
        bcast_string(bytes, out[1]);
        return mine;
    }
    std::string bytes;
    bcast_string(bytes, out[1]);
    return decode(bytes);
}

// The peak resident memory of this process in kB (0 where the system does not say).
long long peak_kb() {
    long long kb = 0;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %lld", &kb) == 1) break;
        std::fclose(f);
    }
    return kb;
}

}  // namespace

Session::Session(int& argc, char**& argv) {
    MPI_Init(&argc, &argv);
    // An allocation that fails on one rank ends the whole job with status 1 at once: the
    // other ranks would otherwise wait for it in their next exchange.
    std::set_new_handler([] { MPI_Abort(MPI_COMM_WORLD, 1); });
}

Session::~Session() {
    MPI_Finalize();
}

MpiTeam::MpiTeam() {
    const World w = world_of(MPI_COMM_WORLD);
    rank_ = w.rank;
    size_ = w.size;
}

bool MpiTeam::all_ok(bool mine) {
    int in = mine ? 1 : 0, out = 0;
    MPI_Allreduce(&in, &out, 1, MPI_INT, MPI_LAND, MPI_COMM_WORLD);
    return out != 0;
}

Status MpiTeam::agree(const Status& mine) {
    return mpi::agree(mine);
}

int MpiTeam::from_leader(int value) {
    MPI_Bcast(&value, 1, MPI_INT, 0, MPI_COMM_WORLD);
    return value;
}

long long MpiTeam::from_leader_ll(long long value) {
    MPI_Bcast(&value, 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
    return value;
}

void MpiTeam::abort_all() {
    MPI_Abort(MPI_COMM_WORLD, 1);
}

void MpiTeam::share(MapInfo& info) {
    double reals[4] = {info.dpix_size, info.X_min, info.Y_min, info.nodata};
    long long ints[6] = {info.nb_lig,     info.nb_col,      info.UTM_coord,
                         info.has_nodata, info.extra_bytes, info.extra_cells};
    MPI_Bcast(reals, 4, MPI_DOUBLE, 0, MPI_COMM_WORLD);
    MPI_Bcast(ints, 6, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
    info.dpix_size = reals[0];
    info.X_min = reals[1];
    info.Y_min = reals[2];
    info.nodata = reals[3];
    info.nb_lig = static_cast<int>(ints[0]);
    info.nb_col = static_cast<int>(ints[1]);
    info.UTM_coord = ints[2] != 0;
    info.has_nodata = ints[3] != 0;
    info.extra_bytes = ints[4];
    info.extra_cells = ints[5] != 0;
    shared_ = info;
}

Status MpiTeam::take_inventory(RowSource* src, const BandPlan& plan, Inventory& inv,
                               const Progress& progress) {
    const World w{rank_, size_};
    forward_only_ = from_leader(w.rank == 0 && (!src || !src->random_access()) ? 1 : 0) != 0;
    inv = Inventory{};
    Status st;
    std::int64_t counts[256] = {};
    if (forward_only_) {
        // Read once, on rank 0.
        if (w.rank == 0) {
            st = engine::take_inventory(*src, plan, inv, progress);
            if (st.ok()) st = src->restart();
            std::copy(inv.hist_explor, inv.hist_explor + 256, counts);
        }
        st = agree(st);
        if (!st.ok()) return st;
        MPI_Bcast(counts, 256, MPI_INT64_T, 0, MPI_COMM_WORLD);
    } else {
        // Rank k counts chunks k, k + P, ...
        const MapInfo& info = src->info();
        const int chunk = std::max(1, std::min(plan.h, info.nb_lig));
        ByteGrid rows(ucmatrice(info.nb_col, chunk), chunk);
        if (!rows) st = Status::out_of_memory();
        std::int64_t mine[256] = {};
        for (long long y = static_cast<long long>(w.rank) * chunk; st.ok() && y < info.nb_lig;
             y += static_cast<long long>(w.size) * chunk) {
            const int n = static_cast<int>(std::min<long long>(chunk, info.nb_lig - y));
            st = src->read(static_cast<int>(y), n, rows.get());
            for (int k = 0; st.ok() && k < n; ++k) {
                const unsigned char* row = rows[k];
                for (int j = 0; j < info.nb_col; ++j) ++mine[row[j]];
            }
            if (st.ok() && w.rank == 0 && progress &&
                !progress(static_cast<int>(y) + n - 1, info.nb_lig))
                st = Status::cancelled();
        }
        if (st.ok()) st = src->restart();
        st = agree(st);
        if (!st.ok()) return st;
        MPI_Allreduce(mine, counts, 256, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);
    }
    std::copy(counts, counts + 256, inv.hist_explor);
    number_items(inv);
    return {};
}

std::unique_ptr<RowSink> MpiTeam::make_sink(const formats::Format& format,
                                            const std::string& base, const MapInfo& info,
                                            Status& st) {
    auto sink = std::make_unique<MpiSink>(info, World{rank_, size_});
    st = sink->open(format, base);
    if (!st.ok()) return nullptr;
    return sink;
}

// One round of bands of a map that rank 0 alone reads (forward only): rank 0 reads the
// round's rows in order, loads its own band and sends each other band its rows (halo
// included), after a word that says whether they follow; the other ranks receive theirs.
static Status load_from_leader(World w, int round, const BandPlan& plan, const MapInfo& info,
                        RowCache* cache, RowSource& source, BandTreatment& t) {
    const int b = round * w.size + w.rank;
    const bool has = b < plan.bands;
    Status mine;
    if (w.rank != 0) {
        if (!has) return mine;
        int word = 0;
        MPI_Recv(&word, 1, MPI_INT, 0, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        t.forget_rows();
        if (word == 0) return t.load(b, source);
        // Rank 0 failed to read the rows: it has the words of the fault.
        Status failed;
        failed.code = static_cast<Status::Code>(word);
        return failed;
    }
    if (has) mine = t.load(b, source);
    for (int r = 1; r < w.size && round * w.size + r < plan.bands; ++r) {
        const int bb = round * w.size + r;
        const int a = std::max(0, plan.first_row(bb) - plan.halo);
        const int e = static_cast<int>(std::min<long long>(
            static_cast<long long>(plan.first_row(bb)) + plan.rows(bb) + plan.halo, info.nb_lig));
        unsigned char* const* rows = nullptr;
        Status got = mine.ok() ? cache->rows(a, e - a, rows) : mine;
        if (mine.ok()) mine = got;
        int word = static_cast<int>(got.code);
        MPI_Send(&word, 1, MPI_INT, r, 0, MPI_COMM_WORLD);
        if (got.ok())
            for (int i = 0; i < e - a; ++i)
                MPI_Send(rows[i], info.nb_col, MPI_UNSIGNED_CHAR, r, 1, MPI_COMM_WORLD);
    }
    return mine;
}

// Where a rank's rows come from: the source itself, or, for a map that rank 0 alone
// reads, rank 0's window of the rows it read (for its own bands) or the rows it sends.
struct Feed {
    std::unique_ptr<RowCache> cache;
    std::unique_ptr<RowSource> own;
    RowSource* source = nullptr;
};

static Status feed_of(RowSource* src, bool forward_only, World w, const BandPlan& plan,
                      const MapInfo& info, Feed& f) {
    f.source = src;
    if (!forward_only) return {};
    if (w.rank == 0) {
        f.cache = std::make_unique<RowCache>(*src, plan.h + 2 * plan.halo);
        f.own = std::make_unique<CacheSource>(*f.cache, info);
    } else {
        f.own = std::make_unique<ReceivedSource>(info);
    }
    f.source = f.own.get();
    return w.rank == 0 && !f.cache->allocated() ? Status::out_of_memory() : Status{};
}

Status MpiTeam::treat(RowSource* src, const Inventory& inv, const Window& win, const BandJob& job,
                      const BandPlan& plan, const std::vector<RowSink*>& sinks,
                      DiversityTotals& totals, const Progress& progress) {
    const World w{rank_, size_};
    const MapInfo info = src ? src->info() : shared_;
    BandTreatment t(info, inv, win, job, plan);
    Status st = agree(t.allocate());
    if (!st.ok()) return st;
    Feed feed;
    st = agree(feed_of(src, forward_only_, w, plan, info, feed));
    const Routes routes = route(sinks, job, info);
    // Rank 0: a band of another rank for an image it writes alone, a row for a picture.
    ByteGrid band;
    std::vector<unsigned char> row;
    if (w.rank == 0 && w.size > 1 && routes.any) {
        if (routes.widest > 0) band = ByteGrid(ucmatrice(routes.widest, plan.h), plan.h);
        // A row of any image shown to a picture (bytes, or floats for a real metric).
        for (std::size_t i = 0; i < routes.row_bytes.size(); ++i)
            if (routes.shown[i]) row.resize(std::max<std::size_t>(row.size(), routes.row_bytes[i]));
        if (routes.widest > 0 && !band) st = Status::out_of_memory();
    }
    st = agree(st);
    int reported = 0;  // the row the leader's progress was last given
    const Progress within_band = [&](int, int) {
        return !progress || progress(reported, info.nb_lig);
    };
    const int rounds = (plan.bands + w.size - 1) / w.size;
    for (int k = 0; st.ok() && k < rounds; ++k) {
        const int b = k * w.size + w.rank;
        const bool has = b < plan.bands;
        Status mine;
        if (forward_only_)
            mine = load_from_leader(w, k, plan, info, feed.cache.get(), *feed.source, t);
        else if (has)
            mine = t.load(b, *feed.source);
        // Within its band, each rank asks the progress again (rank 0 at the row last
        // reported), so that a cancellation (a signal, which mpirun sends to every rank)
        // stops it without waiting for the band's end.
        if (has && mine.ok()) mine = t.scan(within_band);
        // A band whose scan was cut short has no result rows to hand out.
        const bool scanned = has && mine.ok();
        for (std::size_t i = 0; i < routes.team.size(); ++i)
            if (routes.team[i]) routes.team[i]->round(scanned, t.y0(), t.n(), t.rows(i));
        if (routes.any) {
            const Status wrote = gather(routes, w, k, plan, scanned, t, band, row);
            if (mine.ok()) mine = wrote;
        }
        // The leader's progress follows the rounds; when it cancels, every rank stops.
        if (mine.ok() && progress && w.rank == 0) {
            const int last = std::min((k + 1) * w.size, plan.bands) - 1;
            reported = plan.first_row(last) + plan.rows(last) - 1;
            if (!progress(reported, info.nb_lig)) mine = Status::cancelled();
        }
        st = agree(mine);
    }
    // The histogram of every band, on every rank.
    totals = sum_totals(t.totals());
    return st;
}

std::vector<long long> MpiTeam::peak_memory() {
    const long long mine = peak_kb();
    std::vector<long long> peaks(static_cast<std::size_t>(size_));
    MPI_Gather(&mine, 1, MPI_LONG_LONG, peaks.data(), 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
    return peaks;
}

}  // namespace engine::mpi
