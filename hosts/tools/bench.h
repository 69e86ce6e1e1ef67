// `crestune bench`: what the device's everyday operations cost on the
// stand-in, each as the median and the minimum of repeated runs, and side
// by side with the same operations on the real DLLs under Wine.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace crestune {

enum class Build;

struct BenchOptions {
  // The builds measured: the device build (ARM on the emulated processor),
  // the host build, or both side by side (the host build's figures beside
  // the device build's, with the ratio).
  enum class Builds { Arm, Native, Both } builds = Builds::Arm;
  bool quick = false;        // a few short runs: proves the suite runs, measures little
  std::string json;          // where the figures go as JSON (empty: nowhere)
  std::string compare;       // figures of the Wine run to set beside these (empty: none)
  std::string filter;        // only the operations whose name holds this
};

// One operation's figures, in nanoseconds per operation.
struct BenchFigure {
  std::string name;   // "tap", "paint_title"... the same names on both sides
  std::string about;  // one line for the table
  double median = 0;
  double min = 0;
  int runs = 0;
};

// The operations in the order the table shows them, with what each does.
struct BenchOperation {
  const char* name;
  const char* about;
};
const std::vector<BenchOperation>& benchOperations();

// True when some operation's name holds `filter`.
bool benchFilterMatches(const std::string& filter);

// Runs the suite, prints its table to `out`, writes the JSON file. Answers
// the exit status.
int runBench(const BenchOptions& options, std::ostream& out, std::ostream& err);

// Figures of another run, as the Wine bench writes them: one operation a
// line, "NAME MEDIAN_NS MIN_NS RUNS"; '#' starts a comment. Throws
// wince::DeviceError naming the line for anything else.
std::vector<BenchFigure> readBenchFigures(const std::string& file);

// The table of a run: one line an operation with its median, minimum and
// operations per second; with `other`, the other side's median and the
// ratio of this side's median to it.
void writeBenchTable(std::ostream& out, const std::vector<BenchFigure>& figures,
                     const std::vector<BenchFigure>* other = nullptr, const char* otherName = "Wine");
// The three builds in one table: per operation the device build's median
// (ARM), the host build's, Wine's, and the ratios ARM/native and Wine/ARM.
void writeBenchTable3(std::ostream& out, const std::vector<BenchFigure>& arm, const std::vector<BenchFigure>& native,
                      const std::vector<BenchFigure>& wine);
std::string benchJson(const std::vector<BenchFigure>& figures, const std::string& machine);

// "2 cores, AMD EPYC": what the figures were measured on.
std::string benchMachine();

}  // namespace crestune
