#include "results/picture_sink.h"

#include <utility>

#include "analysis/metrics.h"

QuicklookBuilder::Kind picture_kind(const metrics::Metric& m) {
    if (m.type() == metrics::Type::Real) return QuicklookBuilder::Kind::Real;
    const bool mode = m.id == metrics::Id::Diversity || m.id == metrics::Id::Dominant;
    return mode ? QuicklookBuilder::Kind::Mode : QuicklookBuilder::Kind::Mean;
}

PictureSink::PictureSink(std::unique_ptr<engine::RowSink> inner, QuicklookBuilder builder)
    : inner_(std::move(inner)), builder_(std::move(builder)) {
    name_ = inner_->name();
}

Status PictureSink::write(int y, int n, const unsigned char* const* rows) {
    builder_.add_rows(y, n, rows);
    return inner_->write(y, n, rows);
}

void PictureSink::look(int y, int n, const unsigned char* const* rows) {
    builder_.add_rows(y, n, rows);
}

Status PictureSink::commit() { return inner_->commit(); }
