// The dialnorm rewrite against what copying the file and syncing it takes, side by side on the
// listing file (2 GiB unless CORVANE_BENCH_LIST_MB says otherwise) in the page cache. Every run
// is a child process of its own, so that its peak memory ("max_rss_MiB") is its own.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "viewer/DialnormRewrite.h"

extern char** environ;

namespace {

using corvane::bench::Files;

struct TChildRun {
  double Seconds = 0;
  double MaxRssMiB = 0;
  bool Ok = false;
};

// Body in a child process: its time as the parent sees it and its peak memory.
TChildRun RunChild(const std::function<bool()>& Body) {
  const auto Start = std::chrono::steady_clock::now();
  const pid_t Child = fork();
  if (Child == 0) _exit(Body() ? 0 : 1);
  int Status = 0;
  rusage Usage{};
  wait4(Child, &Status, 0, &Usage);
  TChildRun Run;
  Run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
  Run.MaxRssMiB = static_cast<double>(Usage.ru_maxrss) / 1024;
  Run.Ok = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
  return Run;
}

bool Spawn(std::vector<std::string> Args) {
  std::vector<char*> Argv;
  for (std::string& Arg : Args) Argv.push_back(Arg.data());
  Argv.push_back(nullptr);
  pid_t Child = 0;
  if (posix_spawnp(&Child, Argv[0], nullptr, nullptr, Argv.data(), environ) != 0) return false;
  int Status = 0;
  return waitpid(Child, &Status, 0) == Child && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

std::filesystem::path Beside(const std::filesystem::path& File, const char* Name) { return File.parent_path() / Name; }

// Each iteration runs, one after the other under the same conditions: cp of the file into a new
// one followed by sync of that file, dialnorm --output into a new file, and dialnorm in place on a
// copy of the file. The time is the writers'; the counters give each run's seconds and the
// writers' times over cp + sync's.
void BM_WritersAgainstCopyAndSync(benchmark::State& State) {
  const std::filesystem::path& Listing = Files().Listing();
  const std::filesystem::path Copy = Beside(Listing, "cp.ac3");
  const std::filesystem::path Output = Beside(Listing, "output.ac3");
  const std::filesystem::path InPlace = Beside(Listing, "in-place.ac3");
  std::filesystem::copy_file(Listing, InPlace, std::filesystem::copy_options::overwrite_existing);
  Spawn({"sync", InPlace.string()});
  double CopySeconds = 0;
  double OutputSeconds = 0;
  double InPlaceSeconds = 0;
  double Rss = 0;
  uint32_t Dialnorm = 1;
  for (auto _ : State) {
    // Each new file replaces its own of the iteration before, removed just before it is written:
    // both writers then get page-cache memory freed a moment ago. (Under a hypervisor that takes
    // back freed memory after a few seconds, memory freed earlier costs far more to fill, and
    // the writer that came second would pay for it.)
    std::filesystem::remove(Copy);
    const TChildRun Copied = RunChild([&] {
      return Spawn({"cp", Listing.string(), Copy.string()}) && Spawn({"sync", Copy.string()});
    });
    std::filesystem::remove(Output);
    corvane::TDialnormRequest Request;
    Request.File = Listing;
    Request.Output = Output;
    Request.Dialnorm = Dialnorm++;  // a new value each time: every frame changes
    const TChildRun Written = RunChild([&] { return corvane::RewriteDialnorm(Request).AllSet(); });
    Request.File = InPlace;
    Request.Output.reset();
    const TChildRun Rewritten = RunChild([&] { return corvane::RewriteDialnorm(Request).AllSet(); });
    if (!Copied.Ok || !Written.Ok || !Rewritten.Ok) State.SkipWithError("a run failed");
    CopySeconds += Copied.Seconds;
    OutputSeconds += Written.Seconds;
    InPlaceSeconds += Rewritten.Seconds;
    Rss = std::max({Rss, Written.MaxRssMiB, Rewritten.MaxRssMiB});
    State.SetIterationTime(Written.Seconds + Rewritten.Seconds);
  }
  for (const auto& File : {Copy, Output, InPlace}) std::filesystem::remove(File);
  const auto Runs = static_cast<double>(State.iterations());
  State.counters["cp_sync_s"] = CopySeconds / Runs;
  State.counters["output_s"] = OutputSeconds / Runs;
  State.counters["in_place_s"] = InPlaceSeconds / Runs;
  State.counters["output_x"] = OutputSeconds / CopySeconds;
  State.counters["in_place_x"] = InPlaceSeconds / CopySeconds;
  State.counters["max_rss_MiB"] = Rss;
}
BENCHMARK(BM_WritersAgainstCopyAndSync)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

}  // namespace
