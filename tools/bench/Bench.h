#pragma once
// A small registry of named benchmarks. Each area registers one function that measures its pieces, each
// beside the baseline that bounds it (the bare system call or copy doing the same work), in the same run.
#include <functional>
#include <string>
#include <vector>

namespace bench {

// One line of the report: medians in milliseconds.
struct TRow {
  std::string Area;
  std::string Name;
  double Median = 0;
  std::string Baseline;
  double BaselineMedian = 0;
  int Runs = 0;
};

class TContext {
public:
  TContext(std::string area, int runs) : m_area(std::move(area)), m_runs(runs) {}

  // Times `work` and `baseline` alternately (after one warm-up run of each) and records their medians.
  // `runs` overrides the run count for work that is slow by nature; 0 keeps the command line's.
  void Compare(const std::string& name, const std::function<void()>& work, const std::string& baselineName,
               const std::function<void()>& baseline, int runs = 0);

  // A line printed below the table: a count or a check that is not a timing.
  void Note(const std::string& text) { m_notes.push_back(m_area + ": " + text); }

  const std::vector<TRow>& Rows() const { return m_rows; }
  const std::vector<std::string>& Notes() const { return m_notes; }

private:
  std::string m_area;
  int m_runs;
  std::vector<TRow> m_rows;
  std::vector<std::string> m_notes;
};

using TBenchFunction = void (*)(TContext&);

// Registers an area's benchmark at start-up: `static bench::TRegistration reg("region", &RunRegion);`
class TRegistration {
public:
  TRegistration(const char* area, TBenchFunction function);
};

struct TEntry {
  const char* Area;
  TBenchFunction Function;
};

std::vector<TEntry>& Registry();

} // namespace bench
