#include "panes/frame_link.h"

namespace vokra {
namespace {
FrameLink* g_link = nullptr;
}
FrameLink* MainFrameLink() {
    return g_link;
}
void SetMainFrameLink(FrameLink* link) {
    g_link = link;
}
}  // namespace vokra
