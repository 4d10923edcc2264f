// Runs every benchmark of the executable, then prints the declared ratios of their times.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/support/ratio.h"

namespace vokra::bench {
namespace {

struct Ratio {
    std::string name, measured, baseline;
    double bound;
};

std::vector<Ratio>& Ratios() {
    static std::vector<Ratio> r;
    return r;
}

class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                failed[run.run_name.str()] = run.error_message;
                continue;
            }
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            const double perIter = run.GetAdjustedRealTime();
            std::string name = run.benchmark_name();
            if (run.run_type == Run::RT_Aggregate) name = run.run_name.str();
            times[name] = perIter;
            times[run.run_name.str()] = perIter;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
    std::map<std::string, std::string> failed;  // benchmarks that stopped with an error
};

}  // namespace

void DeclareRatio(const std::string& name, const std::string& measured, const std::string& baseline,
                  double bound) {
    Ratios().push_back({name, measured, baseline, bound});
}

}  // namespace vokra::bench

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    vokra::bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    int over = 0;
    for (const auto& r : vokra::bench::Ratios()) {
        // A benchmark that stopped with an error fails the run like a ratio over its bound;
        // one left out by --benchmark_filter is only not measured.
        bool broken = false;
        for (const std::string* name : {&r.measured, &r.baseline}) {
            const auto f = reporter.failed.find(*name);
            if (f == reporter.failed.end()) continue;
            std::printf("ratio %s: not measured, %s failed: %s\n", r.name.c_str(), name->c_str(),
                        f->second.c_str());
            broken = true;
        }
        if (broken) {
            ++over;
            continue;
        }
        auto m = reporter.times.find(r.measured);
        auto b = reporter.times.find(r.baseline);
        if (m == reporter.times.end() || b == reporter.times.end() || b->second <= 0) {
            std::printf("ratio %s: not measured\n", r.name.c_str());
            continue;
        }
        const double ratio = m->second / b->second;
        if (r.bound > 0) {
            const bool ok = ratio <= r.bound;
            if (!ok) ++over;
            std::printf("ratio %s: %.3f (bound %.2f) %s\n", r.name.c_str(), ratio, r.bound,
                        ok ? "ok" : "OVER");
        } else {
            std::printf("ratio %s: %.3f\n", r.name.c_str(), ratio);
        }
    }
    benchmark::Shutdown();
    return over ? 1 : 0;
}
