#pragma once
// The upper timeline pane: the loaded sound as a waveform over the visible range, with a frames or
// seconds ruler. The sound is reduced to one min/max stroke per pixel column; that column cache is
// rebuilt only when its key (content generation, plot size, visible range) changes, so selection,
// cursor and key edits repaint from the cache. No scroll bar: the envelope pane carries it.
#include <cstdint>
#include <vector>

#include "panes/qt/msb_view.h"

namespace vokra {

class WaveView : public MSBView {
    Q_OBJECT
public:
    explicit WaveView(CVokraDoc* doc, QWidget* parent = nullptr);

    TimelineState& GetTimelineState() override;
    double SnapPosition(double x) override;

    // The cache, for tests: offsets from the plot's top edge, one per plot column.
    const std::vector<std::int32_t>& ColumnTop() const { return columnTop; }
    const std::vector<std::int32_t>& ColumnBottom() const { return columnBottom; }
    // How many times the column cache has been built.
    int ColumnBuilds() const { return columnBuilds_; }

protected:
    void Draw(DrawContext& dc) override;
    void BuildColumns(int width, int height);

    std::int32_t cachedGeneration = -2;
    std::int32_t cachedWidth = 0;
    std::int32_t cachedHeight = 0;
    double cachedViewStart = 0.0;
    double cachedViewEnd = 0.0;
    std::vector<std::int32_t> columnTop;
    std::vector<std::int32_t> columnBottom;

private:
    int columnBuilds_ = 0;
};

}  // namespace vokra
