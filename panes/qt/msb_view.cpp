// MSBView's construction, its link to the document and its timeline, the client area, and the
// horizontal scroll bar. Painting is in msb_view_paint.cpp, view changes in msb_view_zoom.cpp,
// mouse and keyboard in msb_view_input.cpp.
#include "panes/qt/msb_view.h"

#include <QScrollBar>
#include <algorithm>
#include <iterator>

#include "document/vokra_doc.h"
#include "panes/axis.h"

namespace vokra {
namespace {

// The scroll bar's positions span the whole extent in this many steps.
constexpr int kScrollScale = 10000;

// The view change each scroll-bar action stands for.
struct ScrollActionChange {
    int action;
    int code;
};
constexpr ScrollActionChange kScrollActionChanges[] = {
    {QAbstractSlider::SliderSingleStepSub, LineLeft},
    {QAbstractSlider::SliderSingleStepAdd, LineRight},
    {QAbstractSlider::SliderPageStepSub, PageLeft},
    {QAbstractSlider::SliderPageStepAdd, PageRight},
    {QAbstractSlider::SliderToMinimum, ToStart},
    {QAbstractSlider::SliderToMaximum, ToEnd},
};

}  // namespace

MSBView::MSBView(CVokraDoc* doc, QWidget* parent) : MSBView(doc, parent, true) {}

MSBView::MSBView(CVokraDoc* doc, QWidget* parent, bool withScrollBar)
    : QWidget(parent), bitmap(std::make_unique<OffscreenBitmap>()), doc_(doc) {
    // The back buffer covers every pixel: no background erase, so no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    if (withScrollBar) {
        scrollBar_ = new QScrollBar(Qt::Horizontal, this);
        scrollBar_->setRange(0, 0);
        scrollBar_->setPageStep(kScrollScale);
        scrollBar_->setEnabled(false);
        scrollBar_->setFocusPolicy(Qt::NoFocus);
        connect(scrollBar_, &QScrollBar::actionTriggered, this, &MSBView::OnScrollAction);
        connect(scrollBar_, &QScrollBar::sliderMoved, this, &MSBView::OnThumb);
    }
    if (doc_) doc_->AddView(this);
}

MSBView::~MSBView() {
    if (doc_) doc_->RemoveView(this);
}

TimelineState& MSBView::GetTimelineState() {
    // Panes without a document of their own share one record.
    static TimelineState shared;
    return shared;
}

double MSBView::SnapPosition(double x) {
    const TimelineState& ts = GetTimelineState();
    if (x < ts.GetExtentMin()) return ts.GetExtentMin();
    if (x > ts.GetExtentMax()) return ts.GetExtentMax();
    return x;
}

int MSBView::ScrollBarHeight() const {
    return scrollBar_ ? scrollBar_->sizeHint().height() : 0;
}

Rect MSBView::ClientRect() const {
    int h = height();
    if (scrollBar_) h -= ScrollBarHeight();
    return Rect{0, 0, width() < 0 ? 0 : width(), h < 0 ? 0 : h};
}

std::string MSBView::Fixed(double v, int decimals) {
    return FormatFixed(v, decimals);
}

void MSBView::OnUpdate(View* /*sender*/, int /*hint*/) {
    Invalidate();
}

void MSBView::Invalidate() {
    pendingUpdate_ = true;
    // The picture only: the scroll bar repaints itself when it changes, and a styled bar the
    // width of the window costs more than the whole picture.
    update(PictureRect());
}

QRect MSBView::PictureRect() const {
    const Rect client = ClientRect();
    return QRect(0, 0, client.Width(), client.Height());
}

void MSBView::UpdateViews(int hint) {
    if (doc_) {
        doc_->UpdateAllViews(nullptr, hint);
    } else {
        OnUpdate(nullptr, hint);
    }
}

// ---- scroll bar -----------------------------------------------------------------------------

void MSBView::UpdateScrollBar(const TimelineState& ts) {
    if (!scrollBar_) return;
    const double e = ts.GetExtentMax() - ts.GetExtentMin();
    if (!(e > 0.0)) return;
    const double pageF = (ts.GetVisibleMax() - ts.GetVisibleMin()) / e * kScrollScale;
    const double posF = (ts.GetVisibleMin() - ts.GetExtentMin()) / e * kScrollScale;
    int page = pageF > kScrollScale ? kScrollScale : (pageF < 0 ? 0 : static_cast<int>(pageF));
    int pos = posF > kScrollScale ? kScrollScale : (posF < 0 ? 0 : static_cast<int>(posF));
    // Positions run from 0 to the last one that still shows a full page; with everything in view
    // the bar has nothing to do and is shown disabled.
    const int last = kScrollScale - page;
    scrollBar_->setRange(0, last);
    scrollBar_->setPageStep(page);
    scrollBar_->setSingleStep(page / 10 > 0 ? page / 10 : 1);
    // Never pull the thumb from under the user's mouse while it is being dragged.
    if (!scrollBar_->isSliderDown()) scrollBar_->setValue(pos > last ? last : pos);
    scrollBar_->setEnabled(page < kScrollScale);
}

void MSBView::OnScrollAction(int action) {
    if (action == QAbstractSlider::SliderMove) {
        // Dragging the thumb arrives through sliderMoved; a wheel over the bar comes here.
        if (!scrollBar_->isSliderDown()) OnThumb(scrollBar_->sliderPosition());
        return;
    }
    const auto* change =
        std::find_if(std::begin(kScrollActionChanges), std::end(kScrollActionChanges),
                     [action](const ScrollActionChange& c) { return c.action == action; });
    if (change == std::end(kScrollActionChanges)) return;
    if (ChangeView(change->code)) UpdateViews(kHintVisibleRange);
    // The bar's own step would put the thumb somewhere else than the view now is.
    UpdateScrollBar(GetTimelineState());
    scrollBar_->setSliderPosition(scrollBar_->value());
}

void MSBView::OnThumb(int position) {
    TimelineState& ts = GetTimelineState();
    const double e = ts.GetExtentMax() - ts.GetExtentMin();
    const double w = ts.GetVisibleMax() - ts.GetVisibleMin();
    double newMin = ts.GetExtentMin() + position / static_cast<double>(kScrollScale) * e;
    if (newMin < ts.GetExtentMin()) newMin = ts.GetExtentMin();
    double newMax = newMin + w;
    if (newMax > ts.GetExtentMax()) newMax = ts.GetExtentMax();
    ts.SetVisibleRange(newMin, newMax);
    UpdateViews(kHintVisibleRange);
}

}  // namespace vokra
