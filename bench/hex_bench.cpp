// Intel HEX reader and writer on a full 1 MB program image (about 2.9 MB of HEX text); the
// bytes_per_second column is HEX text per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "memory/intel_hex.h"

namespace velmora {
namespace {

std::unique_ptr<CMCUMemoryArchitecture> FullProgramImage() {
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  image->Clear();
  std::mt19937 random(1);
  for (uint32_t i = 0; i < window::kProgramMemory.cellCount; ++i) {
    image->programMemory[i] = static_cast<int32_t>(random() & 0xFF);
  }
  image->programSize = static_cast<int32_t>(window::kProgramMemory.cellCount);
  return image;
}

std::string TempPath() {
  return "/tmp/velmora-hex-bench-" + std::to_string(::getpid()) + ".hex";
}

void BM_ParseHexText(benchmark::State& state) {
  const std::string text = FormatHexText(*FullProgramImage(), false);
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  image->Clear();
  ScriptedPrompt prompt;
  for (auto _ : state) benchmark::DoNotOptimize(ParseHexText(*image, text, prompt));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseHexText)->Unit(benchmark::kMillisecond);

// The whole load: clearing the image, reading the file and parsing it.
void BM_ReadHexFile(benchmark::State& state) {
  const std::string path = TempPath();
  ScriptedPrompt prompt;
  WriteHexFile(path, *FullProgramImage(), 0, prompt);
  const size_t size = FormatHexText(*FullProgramImage(), false).size();
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  for (auto _ : state) benchmark::DoNotOptimize(ReadHexFile(*image, path, prompt));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  std::remove(path.c_str());
}
BENCHMARK(BM_ReadHexFile)->Unit(benchmark::kMillisecond);

void BM_FormatHexText(benchmark::State& state) {
  const auto image = FullProgramImage();
  size_t size = 0;
  for (auto _ : state) {
    const std::string text = FormatHexText(*image, false);
    size = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_FormatHexText)->Unit(benchmark::kMillisecond);

// The whole save: formatting, writing a temporary file and renaming it over the target.
void BM_WriteHexFile(benchmark::State& state) {
  const auto image = FullProgramImage();
  const std::string path = TempPath();
  const size_t size = FormatHexText(*image, false).size();
  ScriptedPrompt prompt;
  for (auto _ : state) benchmark::DoNotOptimize(WriteHexFile(path, *image, 0, prompt));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
  std::remove(path.c_str());
}
BENCHMARK(BM_WriteHexFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
