#pragma once
// Seeded fault runs: one operation per seed on a line with injected faults, each seed checked by
// the same body. TOLA_FAULT_SEEDS=N runs seeds 1..N (the build's default otherwise: fewer under the
// sanitizers), split into parts that ctest runs side by side; TOLA_FAULT_SEED=N replays seed N alone.
// A run whose data a checksum could not protect (two flips that cancel in an 8-bit sum) is counted
// as exempt instead of being held to the full invariant.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "operations/ConfigTestSupport.h"
#include "sim/Tola400Model.h"

#ifndef TOLA_FAULT_SEEDS_DEFAULT
#define TOLA_FAULT_SEEDS_DEFAULT 1000
#endif

namespace tola::test {

inline unsigned EnvCount(const char* name, unsigned otherwise) {
  const char* text = std::getenv(name);
  const long value = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
  return value > 0 ? static_cast<unsigned>(value) : otherwise;
}

// The parts each fault-injection test is split into.
constexpr unsigned kSeedParts = 4;

struct SeedOutcome {
  bool succeeded = false;  // the operation reported success
  bool exempt = false;     // a full check was skipped: the line damaged what no check could see
};

struct SeedExpectations {
  bool someFail = false;   // the worst seeds are meant to end some runs with a failure code
};

// Seeds of part `part` of kSeedParts, `body` once per seed; prints the tally and the failing seeds.
// Returns the number of seeds run.
inline unsigned RunFaultSeeds(const char* what, unsigned part,
                              const std::function<void(unsigned, SeedOutcome&)>& body, SeedExpectations expect = {}) {
  unsigned first = 0, last = 0;  // [first, last)
  if (const unsigned one = EnvCount("TOLA_FAULT_SEED", 0); one != 0) {
    first = one;
    last = part == 0 ? one + 1 : one;
  } else {
    const unsigned count = EnvCount("TOLA_FAULT_SEEDS", TOLA_FAULT_SEEDS_DEFAULT);
    first = 1 + count * part / kSeedParts;
    last = 1 + count * (part + 1) / kSeedParts;
  }
  const ::testing::TestResult& result = *::testing::UnitTest::GetInstance()->current_test_info()->result();
  unsigned succeeded = 0, exempt = 0;
  std::string failed;
  unsigned failures = 0;
  for (unsigned seed = first; seed < last && failures < 5; ++seed) {
    SCOPED_TRACE(std::string(what) + " with fault seed " + std::to_string(seed));
    const int partsBefore = result.total_part_count();
    SeedOutcome outcome;
    body(seed, outcome);
    succeeded += outcome.succeeded ? 1u : 0u;
    exempt += outcome.exempt ? 1u : 0u;
    if (result.total_part_count() != partsBefore) {
      ++failures;
      failed += " " + std::to_string(seed);
    }
  }
  const unsigned runs = last - first;
  if (runs == 0) return 0;  // a replayed seed runs in the first part only
  std::printf("[ seeds    ] %s: seeds %u..%u, %u succeeded, %u exempt\n", what, first, last - 1, succeeded, exempt);
  if (!failed.empty()) std::printf("[ seeds    ] %s failed with seeds%s (replay: TOLA_FAULT_SEED=N)\n", what, failed.c_str());
  std::fflush(stdout);
  if (runs < 16 || failures != 0) return runs;
  EXPECT_GT(succeeded, runs / 2) << "faults this rare should spoil few runs";
  EXPECT_LT(exempt * 2, succeeded) << "exemptions must stay rare, or the check means nothing";
  if (expect.someFail) {
    EXPECT_LT(succeeded, runs) << "the storms are meant to end some runs";
  }
  return runs;
}

// Damage a checksum let through since the model was built: the reason a run may be exempt.
inline bool LineFooledAChecksum(const Tola400Model& model) { return model.Counters().blindCorruptions != 0; }

// Line faults for one seed: most seeds see a few faults, every fourth a storm of lost bytes and
// silences, every eighth one bad enough to end most operations. Corruption stays rare: two flips
// that cancel in a block's 8-bit checksum get through, and such runs are only counted.
inline FaultOptions SeededFaults(std::uint64_t seed) {
  FaultOptions f;
  f.seed = seed;
  const double scale = seed % 8 == 7 ? 60.0 : seed % 4 == 3 ? 20.0 : 1.0;
  f.dropRate = 0.0001 * scale;
  f.corruptRate = 0.0001;
  f.delayRate = 0.0002 * scale;
  f.silenceRate = 0.002 * scale;
  return f;
}

// A model for one seed: built with the seed but without faults, so that the port test that
// precedes every operation runs clean; the faults are switched on afterwards.
inline Tola400Options SeededOptions(std::uint64_t seed) {
  Tola400Options options;
  options.faults.seed = seed;
  return options;
}

// Line fault rates, each per byte or per command.
inline void SetFaultRates(Tola400Model& model, double drop, double corrupt, double delay, double silence) {
  FaultOptions& f = model.Faults();
  f.dropRate = drop;
  f.corruptRate = corrupt;
  f.delayRate = delay;
  f.silenceRate = silence;
}

// A model for one seed, connected on a clean line; boxes are recorded instead of answered.
struct SeededSim : ConnectedSim {
  explicit SeededSim(unsigned seed) : ConnectedSim(SeededOptions(seed)) {
    Host().SetUnexpectedBoxHandler([this](const VirtualHost::BoxRecord& box) { boxes.push_back(box.caption); });
  }
  // Switches the seed's faults on and runs until `busy` ends.
  void Run(unsigned seed, const std::function<bool()>& busy, std::uint32_t boundMs) {
    Model().Faults() = SeededFaults(seed);
    EXPECT_TRUE(Host().RunUntil([&] { return !busy(); }, boundMs)) << "no end within the bound";
  }
  // A failure ends with `code` or the reset's, and shows one box, `caption`.
  void ExpectFailure(ResultCode outcome, ResultCode code, const char* caption) const {
    EXPECT_TRUE(outcome == kNoResponseAfterReset || outcome == code) << "code 0x" << std::hex << outcome;
    EXPECT_EQ(boxes, std::vector<std::string>{caption});
  }
  std::vector<std::string> boxes;
};

}  // namespace tola::test
