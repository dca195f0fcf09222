#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "operations/ConfigCommandMachine.h"
#include "operations/ConfigTestSupport.h"
#include "operations/OperationSlot.h"

namespace tola::test {
namespace {

// Every machine of this kind lives at the same address, as a freed machine's memory may be handed
// to the next one.
class ReusedMachine : public ConfigCommandMachine {
 public:
  using ConfigCommandMachine::ConfigCommandMachine;
  static void* operator new(std::size_t size) {
    EXPECT_LE(size, sizeof(storage));
    EXPECT_FALSE(inUse) << "two machines alive at once";
    inUse = true;
    return storage;
  }
  static void operator delete(void*) { inUse = false; }

  alignas(std::max_align_t) static inline unsigned char storage[sizeof(ConfigCommandMachine) + 64];
  static inline bool inUse = false;
};

TEST(OperationSlotTest, AMachineAtTheAddressOfAGoneOneIsNotTakenForIt) {
  ConnectedSim s;
  OperationSlot<ReusedMachine> first(s.App());
  ReusedMachine* mine = first.Install();
  ASSERT_NE(mine, nullptr);
  ASSERT_EQ(first.Get(), mine);

  // Another window replaces it once it is idle; the new machine gets the freed memory.
  s.App().DestroyOperationMachine();
  s.Host().RunPosted();
  ASSERT_FALSE(ReusedMachine::inUse);
  OperationSlot<ReusedMachine> second(s.App());
  ASSERT_EQ(second.Install(), mine) << "the test needs the address reused";

  EXPECT_EQ(first.Get(), nullptr);
  std::vector<ResultCode> firstHeard;
  first.onFinished = [&](ResultCode code) { firstHeard.push_back(code); };
  ASSERT_TRUE(second.Get()->StartEraseConfiguration());
  first.Release();  // must leave the other window's running machine alone
  ASSERT_TRUE(RunToIdle(s.Host(), *second.Get()));
  EXPECT_TRUE(firstHeard.empty());
  EXPECT_EQ(CountOf(s.Model().Commands(), "^ec;"), 1u);
}

TEST(OperationSlotTest, OnlyItsOwnMachinesEndsAreReportedAndOnlyWhileItLives) {
  ConnectedSim s;
  std::vector<ResultCode> heard;
  {
    OperationSlot<ConfigCommandMachine> slot(s.App());
    slot.onFinished = [&](ResultCode code) { heard.push_back(code); };
    ConfigCommandMachine* machine = slot.Install();
    ASSERT_NE(machine, nullptr);
    s.App().dialogueFinished.Notify(0xE2000045);  // another machine's end
    EXPECT_TRUE(heard.empty());
    ASSERT_TRUE(machine->StartEraseConfiguration());
    EXPECT_TRUE(slot.Running());
    ASSERT_TRUE(RunToIdle(s.Host(), *machine));
    EXPECT_EQ(heard, std::vector<ResultCode>{0});
    s.App().dialogueFinished.Notify(0);  // no second report of the same end
    EXPECT_EQ(heard.size(), 1u);
  }
  EXPECT_EQ(s.App().OperationMachine(), nullptr) << "the machine goes with the slot";
  s.App().dialogueFinished.Notify(0);  // a slot that is gone must not be called
  EXPECT_EQ(heard.size(), 1u);
}

}  // namespace
}  // namespace tola::test
