// Settings reads and writes through the registry classes, on a store in a scratch folder.
//
// Writing: one settings object writing 200 values (saved together when it is freed),
// against the same 200 values saved one by one through key handles (one locked
// read-merge-write each, the way every value was saved before) and against one plain
// synced write of a file of the same size. The three run in turn in every iteration;
// the counters give the median of each and the ratios of the medians.
//
// Reading: a value continued over many lines against the same value on one line
// (BM_ReadContinuedValue below).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/core/atomicfile.h"
#include "platform/classlib/core/fileutils.h"
#include "platform/classlib/core/registry.h"

namespace {

constexpr int kValues = 200;
const char* const kSettingsKey = "Software\\Corvane Software\\Vantrel 2.00\\Settings";

std::string ValueName(int i) { return "Field " + std::to_string(i); }

// Points the store at a fresh folder holding, under both HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, one settings key of 200 values.
struct ScratchStore {
  ScratchStore() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
    ::setenv("VANTREL_REGISTRY_DIR", folder.c_str(), 1);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      TRegistry reg;
      reg.SetRootKey(root);
      reg.OpenKey(std::string(kSettingsKey) + "\\Column Visible", true);
      for (int i = 0; i < kValues; ++i) reg.WriteString(ValueName(i), std::to_string(i));
    }
  }
  ~ScratchStore() { std::filesystem::remove_all(folder); }
  std::string folder;
};

void BM_RegIniReadInteger(benchmark::State& state) {
  ScratchStore store;
  TRegIniFile ini(kSettingsKey);
  int i = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(ini.ReadInteger("Column Visible", ValueName(i++ % kValues), 0));
}
BENCHMARK(BM_RegIniReadInteger);

double Seconds(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One iteration = 200 values written by one TRegIniFile (the measured time); the two
// comparisons run in the same iteration and are reported as counters.
void BM_Write200Values(benchmark::State& state) {
  ScratchStore store;
  const std::string plainFile = store.folder + "/plain.reg";
  std::vector<double> batched, perValue, plain;
  int round = 0;
  for (auto _ : state) {
    const int base = ++round * 1000;  // new values every round, so each one is a change
    batched.push_back(Seconds([&] {
      TRegIniFile ini(kSettingsKey);
      for (int i = 0; i < kValues; ++i) ini.WriteInteger("Column Visible", ValueName(i), base + i);
    }));
    perValue.push_back(Seconds([&] {
      HKEY key = nullptr;
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kSettingsKey) + "\\Column Visible").c_str(), 0,
                    KEY_ALL_ACCESS, &key);
      for (int i = 0; i < kValues; ++i) {
        std::string text = std::to_string(base + i);
        RegSetValueExA(key, ValueName(i).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()), text.size() + 1);
      }
      RegCloseKey(key);
    }));
    std::string text;
    ReadWholeFile(store.folder + "/HKEY_CURRENT_USER.reg", text);
    plain.push_back(Seconds([&] { WriteFileAtomically(plainFile, text); }));
    state.SetIterationTime(batched.back());
  }
  state.counters["batched_ms"] = Median(batched) * 1e3;
  state.counters["per_value_ms"] = Median(perValue) * 1e3;
  state.counters["plain_write_ms"] = Median(plain) * 1e3;
  state.counters["per_value/batched"] = Median(perValue) / Median(batched);
  state.counters["batched/plain_write"] = Median(batched) / Median(plain);
}
BENCHMARK(BM_Write200Values)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// Reading a settings file whose one long binary value continues over many
// lines, as exported registry files write long values (25 bytes a line),
// against the same value on one line: both read the same bytes, so their ratio
// is what the continuation lines cost, and it stays flat as the value grows
// when reading is linear. A plain read of the file is the floor. Each
// reading finds a new file, so the store reads it afresh.
std::string LongValueStore(int lines, bool continued) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Long]\r\n\"Value\"=hex:";
  for (int line = 0; line < lines; ++line) {
    for (int i = 0; i < 25; ++i) text += line == lines - 1 && i == 24 ? "7f" : "7f,";
    if (continued && line < lines - 1) text += "\\\r\n  ";
  }
  return text + "\r\n";
}

double ReadLongValue(const std::string& folder, const std::string& text, std::size_t bytes) {
  WriteFileAtomically(folder + "/HKEY_CURRENT_USER.reg", text);
  return Seconds([&] {
    HKEY key = nullptr;
    regstore::Value value;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Long", 0, KEY_READ, &key) != 0 ||
        regstore::QueryValue(key, "Value", value) != 0 || value.Data.size() != bytes)
      std::abort();
    RegCloseKey(key);
  });
}

void BM_ReadContinuedValue(benchmark::State& state) {
  std::string pattern = (std::filesystem::temp_directory_path() / "vantrel-bench-XXXXXX").string();
  const std::string folder = ::mkdtemp(pattern.data());
  ::setenv("VANTREL_REGISTRY_DIR", folder.c_str(), 1);
  const int lines = static_cast<int>(state.range(0));
  const std::size_t bytes = std::size_t(lines) * 25;
  const std::string continued = LongValueStore(lines, true);
  const std::string oneLine = LongValueStore(lines, false);
  std::vector<double> continuedTimes, oneLineTimes, plainTimes;
  for (auto _ : state) {
    continuedTimes.push_back(ReadLongValue(folder, continued, bytes));
    oneLineTimes.push_back(ReadLongValue(folder, oneLine, bytes));
    plainTimes.push_back(Seconds([&] {
      std::string read;
      ReadWholeFile(folder + "/HKEY_CURRENT_USER.reg", read);
      benchmark::DoNotOptimize(read);
    }));
    state.SetIterationTime(continuedTimes.back());
  }
  std::filesystem::remove_all(folder);
  state.counters["continued_ms"] = Median(continuedTimes) * 1e3;
  state.counters["one_line_ms"] = Median(oneLineTimes) * 1e3;
  state.counters["plain_read_ms"] = Median(plainTimes) * 1e3;
  state.counters["continued/one_line"] = Median(continuedTimes) / Median(oneLineTimes);
}
BENCHMARK(BM_ReadContinuedValue)
    ->Arg(12500)
    ->Arg(50000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
