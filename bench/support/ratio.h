#pragma once
// Ratios between benchmarks of one run: declare a pair (measured, baseline) with an optional upper
// bound; after the run each ratio is printed as "ratio NAME: X (bound B) ok|OVER".
#include <string>

namespace vokra::bench {

void DeclareRatio(const std::string& name, const std::string& measured, const std::string& baseline,
                  double bound = 0.0);

}  // namespace vokra::bench

// Declares a ratio at static-initialisation time, next to the benchmarks it compares.
#define VOKRA_RATIO(id, name, measured, baseline, bound)                                  \
    static const int vokra_ratio_##id = [] {                                              \
        ::vokra::bench::DeclareRatio(name, measured, baseline, bound);                    \
        return 0;                                                                         \
    }()
