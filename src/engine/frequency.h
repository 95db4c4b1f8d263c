#pragma once
// Frequency measurement: the firmware counts the target's clock against its own reference and
// answers with four counter bytes; the clock is judged against common crystal frequencies.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Common crystal frequencies in MHz, in the order they are judged.
inline constexpr std::array<double, 32> kReferenceFrequencies = {
    0.016384, 0.032768, 0.128, 0.5, 1,  1.5, 1.875, 2,  2.5, 3,  4,  5,  6,  7,  8,  9,
    10,       11,       12,    13,  14, 15,  16,    17, 18,  19, 20, 21, 22, 23, 24, 25};
// Within this (100 ppm) the clock is judged by ppm; without any such reference, by percent
// within the fallback tolerance.
inline constexpr double kFrequencyTolerance = 0.0001;
inline constexpr double kFrequencyFallbackTolerance = 0.11;

// The count of the counter bytes b0..b3, modulo 2^32.
uint32_t FrequencyCount(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);
// The clock in MHz for a count; a count of 0 is no measurement (0).
double FrequencyFromCount(uint32_t count);
// "Frequency: %fMHz" above 0.9 MHz, else "Frequency: %.3fkHz".
std::string FrequencyText(double megahertz);
// The "Failure: ..." lines that judge the clock against the references.
std::vector<std::string> FrequencyJudgement(double megahertz);

}  // namespace velmora
