// The quicklook of a result image made on the way: a row sink that hands each band of
// rows to the picture being built, then to the sink that writes the file. In a team, the
// leader's picture of an image every process writes is shown the other processes' rows
// through look().
#pragma once

#include <memory>

#include "core/rows.h"
#include "results/quicklook.h"

namespace metrics {
struct Metric;
}

// The picture of a metric's image: the most common value of each block for class counts
// and codes, the mean for percents, the mean of the floats for a real metric.
QuicklookBuilder::Kind picture_kind(const metrics::Metric& m);

class PictureSink final : public engine::RowSink {
  public:
    PictureSink(std::unique_ptr<engine::RowSink> inner, QuicklookBuilder builder);
    Status write(int y, int n, const unsigned char* const* rows) override;
    Status commit() override;
    bool collective() const override { return inner_->collective(); }
    engine::RowSink* inner() override { return inner_.get(); }
    void look(int y, int n, const unsigned char* const* rows) override;
    // The picture of every row written; once only.
    Quicklook picture() { return builder_.finish(); }

  private:
    std::unique_ptr<engine::RowSink> inner_;
    QuicklookBuilder builder_;
};
