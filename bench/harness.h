#pragma once
// A small timing harness that runs the same way natively and cross-built
// under Wine: each measurement repeats a body until enough time has passed
// and keeps the best of several rounds.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace vellum::bench {

// Seconds per call of body: the best of `rounds` rounds of at least
// `minSeconds` each.
inline double SecondsPerCall(const std::function<void()>& body, int rounds = 5,
                             double minSeconds = 0.2) {
  using Clock = std::chrono::steady_clock;
  body();  // warm caches and lazy initialisation
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    long calls = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
      body();
      ++calls;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < minSeconds);
    if (elapsed / calls < best) best = elapsed / calls;
  }
  return best;
}

struct Row {
  std::string name;
  double ours;       // MB/s, or ms for latency rows
  double reference;  // the same figure for the reference, 0 when none
  bool latency;      // smaller is better
};

inline void PrintTable(const std::vector<Row>& rows) {
  std::printf("%-40s %14s %14s %8s\n", "benchmark", "ours", "reference", "ratio");
  for (const Row& r : rows) {
    const char* unit = r.latency ? "ms" : "MB/s";
    if (r.reference > 0) {
      std::printf("%-40s %9.1f %-4s %9.1f %-4s %8.3f\n", r.name.c_str(), r.ours, unit, r.reference,
                  unit, r.ours / r.reference);
    } else {
      std::printf("%-40s %9.1f %-4s %14s %8s\n", r.name.c_str(), r.ours, unit, "-", "-");
    }
  }
  // Machine-readable lines, for combining a Wine run with a native one.
  for (const Row& r : rows) std::printf("RESULT %s %.3f %.3f\n", r.name.c_str(), r.ours, r.reference);
}

}  // namespace vellum::bench
