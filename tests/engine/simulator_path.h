#pragma once
// The simulated programmer as built beside the tests; documents in tests bind it so that no
// test depends on the driver libraries of the machine.

namespace velmora::testing {

inline constexpr char kSimulatorPath[] = VELMORA_BINARY_DIR "/bin/libvelmora-sim.so";

}  // namespace velmora::testing
