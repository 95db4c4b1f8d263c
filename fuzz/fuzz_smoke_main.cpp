// Runs a libFuzzer target without libFuzzer: every file of the given corpus folders, then a
// fixed number of deterministic mutations of them (byte changes towards the HEX alphabet,
// insertions, deletions, splices). Used by the test suite as a short smoke run.
// Usage: fuzz_smoke ITERATIONS DIR...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Input = std::vector<uint8_t>;

void Run(const Input& input) {
  LLVMFuzzerTestOneInput(input.data(), input.size());
}

void Mutate(Input& input, std::mt19937& random) {
  static constexpr char kAlphabet[] = ":0123456789ABCDEFabcdefG\r\n ";
  const auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  const auto someByte = [&] {
    return random() % 4 ? static_cast<uint8_t>(kAlphabet[pick(sizeof kAlphabet - 1)])
                        : static_cast<uint8_t>(random());
  };
  switch (pick(5)) {
    case 0:  // change a byte
      if (!input.empty()) input[pick(input.size())] = someByte();
      break;
    case 1:  // insert a byte
      input.insert(input.begin() + static_cast<long>(pick(input.size() + 1)), someByte());
      break;
    case 2:  // delete a stretch
      if (!input.empty()) {
        const size_t at = pick(input.size());
        const size_t n = std::min(input.size() - at, 1 + pick(8));
        input.erase(input.begin() + static_cast<long>(at),
                    input.begin() + static_cast<long>(at + n));
      }
      break;
    case 3:  // duplicate a stretch somewhere else
      if (!input.empty()) {
        const size_t at = pick(input.size());
        const size_t n = std::min(input.size() - at, 1 + pick(48));
        const Input piece(input.begin() + static_cast<long>(at),
                          input.begin() + static_cast<long>(at + n));
        input.insert(input.begin() + static_cast<long>(pick(input.size() + 1)), piece.begin(),
                     piece.end());
      }
      break;
    default:  // cut the end off
      input.resize(pick(input.size() + 1));
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s ITERATIONS DIR...\n", argv[0]);
    return 2;
  }
  const long iterations = std::strtol(argv[1], nullptr, 10);
  std::vector<Input> corpus;
  for (int i = 2; i < argc; ++i) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "no corpus files\n");
    return 2;
  }
  for (const Input& input : corpus) Run(input);

  std::mt19937 random(12345);
  for (long i = 0; i < iterations; ++i) {
    Input input = corpus[random() % corpus.size()];
    for (unsigned n = 1 + random() % 6; n > 0; --n) Mutate(input, random);
    Run(input);
  }
  std::printf("%zu corpus inputs and %ld mutations ran\n", corpus.size(), iterations);
  return 0;
}
