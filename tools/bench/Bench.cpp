// bench: prints medians of the registered measurements beside their baselines.
//   bench [--csv] [--runs N] [AREA...]
#include "Bench.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

namespace {

double NowMs()
{
  static const double ticksPerMs = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticksPerMs;
}

double TimeMs(const std::function<void()>& work)
{
  const double start = NowMs();
  work();
  return NowMs() - start;
}

double Median(std::vector<double> values)
{
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintTable(const std::vector<TRow>& rows)
{
  std::printf("%-8s %-40s %11s  %-40s %11s %9s %5s\n", "area", "measurement", "median ms", "baseline",
              "median ms", "ratio", "runs");
  for (const TRow& row : rows) {
    const double ratio = row.BaselineMedian > 0 ? row.Median / row.BaselineMedian : 0;
    std::printf("%-8s %-40s %11.3f  %-40s %11.3f %8.3fx %5d\n", row.Area.c_str(), row.Name.c_str(), row.Median,
                row.Baseline.c_str(), row.BaselineMedian, ratio, row.Runs);
  }
}

void PrintCsv(const std::vector<TRow>& rows)
{
  std::printf("area,measurement,median_ms,baseline,baseline_median_ms,ratio,runs\n");
  for (const TRow& row : rows) {
    const double ratio = row.BaselineMedian > 0 ? row.Median / row.BaselineMedian : 0;
    std::printf("%s,\"%s\",%.4f,\"%s\",%.4f,%.3f,%d\n", row.Area.c_str(), row.Name.c_str(), row.Median,
                row.Baseline.c_str(), row.BaselineMedian, ratio, row.Runs);
  }
}

} // namespace

void TContext::Compare(const std::string& name, const std::function<void()>& work, const std::string& baselineName,
                       const std::function<void()>& baseline, int runs)
{
  const int count = runs > 0 ? runs : m_runs;
  work();
  baseline();
  std::vector<double> times;
  std::vector<double> baselineTimes;
  for (int i = 0; i < count; ++i) {
    times.push_back(TimeMs(work));
    baselineTimes.push_back(TimeMs(baseline));
  }
  m_rows.push_back(TRow{m_area, name, Median(times), baselineName, Median(baselineTimes), count});
  std::fprintf(stderr, "  %s: %s done\n", m_area.c_str(), name.c_str());
}

std::vector<TEntry>& Registry()
{
  static std::vector<TEntry> entries;
  return entries;
}

TRegistration::TRegistration(const char* area, TBenchFunction function)
{
  Registry().push_back(TEntry{area, function});
}

} // namespace bench

int main(int argc, char** argv)
{
  bool csv = false;
  int runs = 15;
  std::vector<std::string> areas;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--csv") == 0) {
      csv = true;
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
      if (runs < 1) {
        std::fprintf(stderr, "bench: --runs needs a positive count\n");
        return 2;
      }
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: bench [--csv] [--runs N] [AREA...]\n");
      return 2;
    } else {
      areas.push_back(argv[i]);
    }
  }

  for (const std::string& area : areas) {
    const auto& all = bench::Registry();
    if (std::none_of(all.begin(), all.end(), [&](const bench::TEntry& e) { return area == e.Area; })) {
      std::fprintf(stderr, "bench: no area \"%s\"\n", area.c_str());
      return 2;
    }
  }

  std::vector<bench::TRow> rows;
  std::vector<std::string> notes;
  for (const bench::TEntry& entry : bench::Registry()) {
    if (!areas.empty() && std::find(areas.begin(), areas.end(), entry.Area) == areas.end())
      continue;
    bench::TContext context(entry.Area, runs);
    entry.Function(context);
    rows.insert(rows.end(), context.Rows().begin(), context.Rows().end());
    notes.insert(notes.end(), context.Notes().begin(), context.Notes().end());
  }
  if (csv)
    bench::PrintCsv(rows);
  else
    bench::PrintTable(rows);
  // Below the table; with --csv on the error stream, so that the CSV stays one table.
  for (const std::string& note : notes)
    std::fprintf(csv ? stderr : stdout, "%s\n", note.c_str());
  return 0;
}
