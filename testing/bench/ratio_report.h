// Ratio lines of the side-by-side benchmarks. A program registers its
// benchmarks in pairs (ours and a baseline doing the same work), runs them
// through RatioReporter, and prints one line per pair:
//   RATIO <name> <value> (target <op> <limit>)
// scripts/bench.sh collects these lines from every program it runs and says
// which targets are met. With --benchmark_repetitions the median of each
// benchmark is used; alone, its single run.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace bench_ratio {

// Keeps each benchmark's time per iteration and its counters (the medians
// when repetitions are asked for) by run name, e.g. "BM_Ours/3". Real time, or the
// benchmark thread's CPU time when BENCH_RATIO_TIME=cpu (for a loaded
// machine, where real time is mostly waiting for a core).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {
    const char* which = std::getenv("BENCH_RATIO_TIME");
    cpu_ = which != nullptr && std::string(which) == "cpu";
  }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration && run.repetitions > 1) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      times_[run.run_name.str()] = cpu_ ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
      for (const auto& [name, counter] : run.counters) counters_[run.run_name.str()][name] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Time of the run named `name`, or a negative value when it did not run.
  double Time(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() ? -1.0 : it->second;
  }
  // The counter `counter` of the run named `name` (the median with
  // repetitions), or a negative value when there is none.
  double Counter(const std::string& name, const std::string& counter) const {
    const auto run = counters_.find(name);
    if (run == counters_.end()) return -1.0;
    const auto it = run->second.find(counter);
    return it == run->second.end() ? -1.0 : it->second;
  }

 private:
  bool cpu_ = false;
  std::map<std::string, double> times_;
  std::map<std::string, std::map<std::string, double>> counters_;
};

// Prints the ratio baseline time / our time ("how many times as fast as the
// baseline"; above 1 is faster) when both ran. `op` and `limit` state the
// target; op "" prints the ratio for information only.
inline void PrintSpeedRatio(const RatioReporter& reporter, const std::string& name,
                            const std::string& ours, const std::string& baseline,
                            const char* op, double limit) {
  const double t_ours = reporter.Time(ours);
  const double t_base = reporter.Time(baseline);
  if (t_ours <= 0 || t_base <= 0) return;
  if (op != nullptr && *op != '\0') {
    std::printf("RATIO %s %.3f (target %s %.2f)\n", name.c_str(), t_base / t_ours, op, limit);
  } else {
    std::printf("RATIO %s %.3f\n", name.c_str(), t_base / t_ours);
  }
  std::fflush(stdout);
}

}  // namespace bench_ratio
