// Settings reads and writes through the registry classes, on a store in a scratch folder.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/classlib/core/registry.h"

namespace {

// Points the store at a fresh folder holding one settings key of 200 values.
struct ScratchStore {
  ScratchStore() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
    ::setenv("VANTREL_REGISTRY_DIR", folder.c_str(), 1);
    TRegIniFile ini("Software\\Corvane Software\\Vantrel 2.00\\Settings");
    for (int i = 0; i < 200; ++i) ini.WriteInteger("Column Visible", "Field " + std::to_string(i), i);
  }
  ~ScratchStore() { std::filesystem::remove_all(folder); }
  std::string folder;
};

void BM_RegIniReadInteger(benchmark::State& state) {
  ScratchStore store;
  TRegIniFile ini("Software\\Corvane Software\\Vantrel 2.00\\Settings");
  int i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(ini.ReadInteger("Column Visible", "Field " + std::to_string(i++ % 200), 0));
}
BENCHMARK(BM_RegIniReadInteger);

void BM_RegIniWriteInteger(benchmark::State& state) {
  ScratchStore store;
  TRegIniFile ini("Software\\Corvane Software\\Vantrel 2.00\\Settings");
  int i = 0;
  for (auto _ : state) ini.WriteInteger("Column Visible", "Field " + std::to_string(i % 200), ++i);
}
BENCHMARK(BM_RegIniWriteInteger);

}  // namespace
