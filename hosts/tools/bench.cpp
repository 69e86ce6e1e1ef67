// `crestune bench`: the operations timed with Google Benchmark, repeated,
// summed up as median and minimum; the table, the JSON file, and the table
// beside the Wine run's figures.
#include "bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <thread>

#include "bench_ops.h"
#include "session.h"
#include "device_error.h"
#include "output_file.h"
#include "words.h"

namespace crestune {

const std::vector<BenchOperation>& benchOperations() {
  static const std::vector<BenchOperation> all = {
      {"refresh_query", "the item's refresh query, nothing changed"},
      {"paint_title", "the item's paint, title view"},
      {"paint_buttons", "the item's paint, buttons view"},
      {"tap", "a tap on Play: pressed face, Play sent, face again"},
      {"script_tap", "the same tap as a script line: checked, read, run"},
      {"hold_menu", "tap-and-hold: the menu shown and dismissed"},
      {"options", "the options page opened and confirmed"},
      {"install_uninstall", "install and uninstall, no virtual waits"},
      {"demo", "the whole demo, no PNGs written"},
      {"png_screenshot", "one PNG screenshot of the screen"},
      {"interactive_frame", "one frame of the interactive window, headless"},
  };
  return all;
}

namespace {

// Collects the median and minimum of each operation from Google
// Benchmark's aggregates.
class Collector : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      BenchFigure& f = figure(r.run_name.function_name);
      if (r.error_occurred) {
        errors.push_back(r.run_name.function_name + ": " + r.error_message);
        continue;
      }
      if (r.run_type != Run::RT_Aggregate) continue;
      if (r.aggregate_name == "median") f.median = r.GetAdjustedRealTime();
      if (r.aggregate_name == "min") f.min = r.GetAdjustedRealTime();
      f.runs = static_cast<int>(r.repetitions);
    }
  }
  BenchFigure& figure(const std::string& name) {
    for (BenchFigure& f : figures)
      if (f.name == name) return f;
    figures.push_back(BenchFigure{name, {}, 0, 0, 0});
    return figures.back();
  }
  std::vector<BenchFigure> figures;
  std::vector<std::string> errors;
};

double minimum(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

std::string formatTime(double ns) {
  char buf[32];
  if (ns <= 0) return "-";
  if (ns < 1e3)
    std::snprintf(buf, sizeof buf, "%.0f ns", ns);
  else if (ns < 1e6)
    std::snprintf(buf, sizeof buf, "%.2f us", ns / 1e3);
  else if (ns < 1e9)
    std::snprintf(buf, sizeof buf, "%.2f ms", ns / 1e6);
  else
    std::snprintf(buf, sizeof buf, "%.2f s", ns / 1e9);
  return buf;
}

std::string formatRate(double ns) {
  char buf[32];
  if (ns <= 0) return "-";
  std::snprintf(buf, sizeof buf, "%.0f", 1e9 / ns);
  return buf;
}

const BenchFigure* find(const std::vector<BenchFigure>* figures, const std::string& name) {
  if (!figures) return nullptr;
  for (const BenchFigure& f : *figures)
    if (f.name == name) return &f;
  return nullptr;
}

std::string aboutOf(const std::string& name) {
  for (const BenchOperation& op : benchOperations())
    if (name == op.name) return op.about;
  return {};
}

}  // namespace

std::string benchMachine() {
  std::ifstream in("/proc/cpuinfo");
  std::string model, line;
  while (model.empty() && std::getline(in, line))
    if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) model = line.substr(line.find(':') + 2);
  unsigned cores = std::thread::hardware_concurrency();
  return std::to_string(cores) + (cores == 1 ? " core, " : " cores, ") + (model.empty() ? "unknown CPU" : model);
}

void writeBenchTable(std::ostream& out, const std::vector<BenchFigure>& figures, const std::vector<BenchFigure>* other,
                     const char* otherName) {
  std::ostringstream head;
  head << std::left << std::setw(19) << "operation" << std::right << std::setw(11) << "median" << std::setw(11)
       << "min" << std::setw(11) << "ops/s";
  if (other) head << std::setw(11) << otherName << std::setw(10) << "ratio";  // this side / the other
  out << head.str() << "  what\n";
  for (const BenchFigure& f : figures) {
    std::ostringstream row;
    row << std::left << std::setw(19) << f.name << std::right << std::setw(11) << formatTime(f.median) << std::setw(11)
        << formatTime(f.min) << std::setw(11) << formatRate(f.median);
    if (other) {
      const BenchFigure* w = find(other, f.name);
      std::string ratio = "-";
      if (w && w->median > 0 && f.median > 0) {
        // This side's time over Wine's: "1/N" when it is N times faster.
        char buf[32];
        if (f.median < w->median)
          std::snprintf(buf, sizeof buf, "1/%.0f", w->median / f.median);
        else
          std::snprintf(buf, sizeof buf, "%.1f", f.median / w->median);
        ratio = buf;
      }
      row << std::setw(11) << (w ? formatTime(w->median) : "-") << std::setw(10) << ratio;
    }
    out << row.str() << "  " << (f.about.empty() ? aboutOf(f.name) : f.about) << "\n";
  }
}

namespace {
// "3.2" or "41": how many times one figure is the other; "-" when either is missing.
std::string times(double over, double under) {
  if (over <= 0 || under <= 0) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, over / under < 10 ? "%.1f" : "%.0f", over / under);
  return buf;
}
}  // namespace

void writeBenchTable3(std::ostream& out, const std::vector<BenchFigure>& arm, const std::vector<BenchFigure>& native,
                      const std::vector<BenchFigure>& wine) {
  out << std::left << std::setw(19) << "operation" << std::right << std::setw(11) << "ARM" << std::setw(11)
      << "native" << std::setw(11) << "Wine" << std::setw(12) << "ARM/native" << std::setw(10) << "Wine/ARM"
      << "  what\n";
  for (const BenchFigure& f : arm) {
    const BenchFigure* n = find(&native, f.name);
    const BenchFigure* w = find(&wine, f.name);
    const double nm = n ? n->median : 0, wm = w ? w->median : 0;
    std::ostringstream row;
    row << std::left << std::setw(19) << f.name << std::right << std::setw(11) << formatTime(f.median)
        << std::setw(11) << formatTime(nm) << std::setw(11) << formatTime(wm) << std::setw(12)
        << times(f.median, nm) << std::setw(10) << times(wm, f.median);
    out << row.str() << "  " << (f.about.empty() ? aboutOf(f.name) : f.about) << "\n";
  }
}

std::string benchJson(const std::vector<BenchFigure>& figures, const std::string& machine) {
  std::ostringstream o;
  o << std::fixed << std::setprecision(1);
  o << "{\n  \"machine\": \"" << machine << "\",\n  \"unit\": \"ns\",\n  \"operations\": [\n";
  for (size_t i = 0; i < figures.size(); ++i) {
    const BenchFigure& f = figures[i];
    o << "    {\"name\": \"" << f.name << "\", \"median\": " << f.median << ", \"min\": " << f.min
      << ", \"ops_per_second\": " << (f.median > 0 ? 1e9 / f.median : 0) << ", \"runs\": " << f.runs << "}"
      << (i + 1 < figures.size() ? "," : "") << "\n";
  }
  o << "  ]\n}\n";
  return o.str();
}

std::vector<BenchFigure> readBenchFigures(const std::string& file) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) throw wince::DeviceError("cannot read " + file + ": it is a folder");
  std::ifstream in(file);
  if (!in) throw wince::DeviceError("cannot read " + file + ": " + std::strerror(errno));
  std::vector<BenchFigure> figures;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    BenchFigure f;
    std::string rest;
    if (!(words >> f.name >> f.median >> f.min >> f.runs) || (words >> rest) || f.median < 0 || f.min < 0)
      throw wince::DeviceError(file + ":" + std::to_string(number) + ": expected NAME MEDIAN_NS MIN_NS RUNS, found " +
                               oneLine(line));
    figures.push_back(f);
  }
  if (in.bad()) throw wince::DeviceError("cannot read " + file + ": " + std::strerror(errno));
  return figures;
}

bool benchFilterMatches(const std::string& filter) {
  for (const BenchOperation& op : benchOperations())
    if (std::string(op.name).find(filter) != std::string::npos) return true;
  return false;
}

namespace {

// The operations of the options, timed on devices that run `build`.
std::vector<BenchFigure> measure(const BenchOptions& options, Build build, std::vector<std::string>& errors) {
  benchmark::ClearRegisteredBenchmarks();

  bench::Devices devices(build);
  std::vector<std::string> problems;
  // The operations run in the order of the table.
  std::vector<std::string> order;
  for (const BenchOperation& op : benchOperations())
    if (options.filter.empty() || std::string(op.name).find(options.filter) != std::string::npos)
      order.push_back(op.name);
  for (const std::string& name : order) {
    auto* b = benchmark::RegisterBenchmark(name.c_str(), [&devices, name](benchmark::State& state) {
      bench::Prepared p = bench::prepare(name, devices);
      if (!p.run) {
        state.SkipWithError(p.check().c_str());
        for (auto _ : state) {
        }
        return;
      }
      p.run();
      if (std::string problem = p.check(); !problem.empty()) {
        state.SkipWithError(problem.c_str());
        for (auto _ : state) {
        }
        return;
      }
      for (auto _ : state) p.run();
    });
    const bool slow = name == "demo" || name == "install_uninstall";
    b->Unit(benchmark::kNanosecond)
        ->UseRealTime()
        ->Repetitions(options.quick ? 3 : 9)
        ->MinTime(options.quick ? 0.001 : slow ? 0.5 : 0.2)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", minimum);
  }
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::ClearRegisteredBenchmarks();
  devices.end();

  std::vector<BenchFigure> figures;
  for (const std::string& name : order) {
    BenchFigure f = collector.figure(name);
    f.about = aboutOf(name);
    if (f.median > 0) figures.push_back(f);
  }
  errors.insert(errors.end(), collector.errors.begin(), collector.errors.end());
  return figures;
}

}  // namespace

int runBench(const BenchOptions& options, std::ostream& out, std::ostream& err) {
  std::vector<BenchFigure> wine;
  if (!options.compare.empty()) wine = readBenchFigures(options.compare);
  // A file the figures could never go to is refused before the minutes of
  // measuring, not after.
  if (!options.json.empty())
    if (std::string why = wince::refusalToWrite(options.json); !why.empty())
      throw wince::DeviceError("cannot write " + options.json + ": " + why);

  // Google Benchmark reads its own flags once; the suite sets what it needs
  // through the registered benchmarks instead.
  static bool initialised = false;
  if (!initialised) {
    char name[] = "crestune-bench";
    char* argv[] = {name, nullptr};
    int argc = 1;
    benchmark::Initialize(&argc, argv);
    initialised = true;
  }
  std::vector<std::string> errors;
  std::vector<BenchFigure> figures, native;
  using Builds = BenchOptions::Builds;
  if (options.builds != Builds::Native) figures = measure(options, Build::Arm, errors);
  if (options.builds != Builds::Arm) native = measure(options, Build::Native, errors);
  if (options.builds == Builds::Native) figures = std::move(native);
  const std::string machine = benchMachine();
  const char* what = options.builds == Builds::Native ? buildDescription(Build::Native) : buildDescription(Build::Arm);
  out << "crestune bench" << (options.quick ? " --quick" : "") << ": median and minimum of "
      << (options.quick ? 3 : 9) << " runs, wall-clock time per operation, the " << what
      << (options.builds == Builds::Both ? std::string(" beside the ") + buildDescription(Build::Native) : "")
      << (wine.empty() ? "" : " and Wine's figures") << ", on "
      << machine << "\n";
  if (options.builds == Builds::Both && !wine.empty())
    writeBenchTable3(out, figures, native, wine);
  else if (options.builds == Builds::Both)
    writeBenchTable(out, figures, &native, "native");
  else
    writeBenchTable(out, figures, wine.empty() ? nullptr : &wine);
  for (const std::string& e : errors) err << "crestune: bench: " << oneLine(e) << "\n";
  if (!options.json.empty()) {
    try {
      wince::writeFileAtomically(options.json, benchJson(figures, machine));
    } catch (const wince::DeviceError& e) {
      err << "crestune: " << oneLine(e.what()) << "\n";
      return 1;
    }
  }
  // An operation that cannot run here (no window to be had) is said, not failed.
  for (const std::string& e : errors)
    if (e.find("no headless window") == std::string::npos) return 1;
  return 0;
}

}  // namespace crestune
