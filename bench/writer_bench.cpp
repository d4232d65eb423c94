// The dialnorm rewrite against what copying the file and syncing it takes, side by side in one
// run on the listing file (2 GiB unless CORVANE_BENCH_LIST_MB says otherwise) in the page cache:
// cp + sync of the file, dialnorm --output into a new file, and dialnorm in place on a copy of
// it, each frame changed every time. Every run is a child process of its own, so that its peak
// memory ("max_rss_MiB") is its own.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

void Report(benchmark::State& State, const TChildRun& Run, double& Rss) {
  if (!Run.Ok) State.SkipWithError("the run failed");
  State.SetIterationTime(Run.Seconds);
  Rss = std::max(Rss, Run.MaxRssMiB);
}

void Rates(benchmark::State& State, const std::filesystem::path& File, double Rss) {
  const double Bytes = static_cast<double>(std::filesystem::file_size(File)) * static_cast<double>(State.iterations());
  State.counters["MB/s"] = benchmark::Counter(Bytes / 1e6, benchmark::Counter::kIsRate);
  State.counters["max_rss_MiB"] = Rss;
}

// What the writers are measured against: cp of the file into a new one, then sync of that file.
void BM_CopyAndSync(benchmark::State& State) {
  const std::filesystem::path& File = Files().Listing();
  const std::filesystem::path Copy = Beside(File, "cp.ac3");
  double Rss = 0;
  for (auto _ : State) {
    std::filesystem::remove(Copy);
    Report(State, RunChild([&] {
             return Spawn({"cp", File.string(), Copy.string()}) && Spawn({"sync", Copy.string()});
           }),
           Rss);
  }
  std::filesystem::remove(Copy);
  Rates(State, File, Rss);
}
BENCHMARK(BM_CopyAndSync)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_DialnormOutput(benchmark::State& State) {
  const std::filesystem::path& File = Files().Listing();
  const std::filesystem::path Output = Beside(File, "output.ac3");
  double Rss = 0;
  uint32_t Dialnorm = 1;
  for (auto _ : State) {
    std::filesystem::remove(Output);
    corvane::TDialnormRequest Request;
    Request.File = File;
    Request.Output = Output;
    Request.Dialnorm = Dialnorm++;
    Report(State, RunChild([&] { return corvane::RewriteDialnorm(Request).AllSet(); }), Rss);
  }
  std::filesystem::remove(Output);
  Rates(State, File, Rss);
}
BENCHMARK(BM_DialnormOutput)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_DialnormInPlace(benchmark::State& State) {
  const std::filesystem::path& Listing = Files().Listing();
  const std::filesystem::path File = Beside(Listing, "in-place.ac3");
  std::filesystem::copy_file(Listing, File, std::filesystem::copy_options::overwrite_existing);
  Spawn({"sync", File.string()});
  double Rss = 0;
  uint32_t Dialnorm = 1;
  for (auto _ : State) {
    corvane::TDialnormRequest Request;
    Request.File = File;
    Request.Dialnorm = Dialnorm++;  // a new value each time: every frame changes
    Report(State, RunChild([&] { return corvane::RewriteDialnorm(Request).AllSet(); }), Rss);
  }
  std::filesystem::remove(File);
  Rates(State, Listing, Rss);
}
BENCHMARK(BM_DialnormInPlace)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

}  // namespace
