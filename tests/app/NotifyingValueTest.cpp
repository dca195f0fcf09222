#include <gtest/gtest.h>

#include "support/TestApp.h"

namespace tola::test {
namespace {

TEST(NotifyingValueTest, ListenersAreToldInOrderAndOnceEach) {
  NotifyingValue<std::uint32_t> value(32868, 0);
  std::vector<char> order;
  struct Tagged : Listener {
    Tagged(std::vector<char>& o, char t) : order(o), tag(t) {}
    void OnNotify(std::uint32_t, std::uint32_t) override { order.push_back(tag); }
    std::vector<char>& order;
    char tag;
  } first(order, '1'), second(order, '2');

  value.AddListenerQuiet(&second);
  value.AddListenerQuiet(&first);
  value.AddListener(&second);  // already listed: not added again, but told the present value
  order.clear();
  value.Change(3);
  EXPECT_EQ(order, (std::vector<char>{'2', '1'}));

  value.RemoveListener(&second);
  order.clear();
  value.Change(4);
  EXPECT_EQ(order, (std::vector<char>{'1'}));
}

TEST(NotifyingValueTest, AddListenerSendsThePresentValueAndQuietDoesNot) {
  NotifyingValue<std::uint32_t> value(32881, 7);
  RecordingListener loud, quiet;
  value.AddListener(&loud);
  value.AddListenerQuiet(&quiet);
  ASSERT_EQ(loud.messages.size(), 1u);
  EXPECT_EQ(loud.messages[0], std::make_pair(32881u, 0u));
  EXPECT_TRUE(quiet.messages.empty());

  // A list sends one message per index instead.
  PersistedTextList list(kIdCommandCaption, "CommandCaption%u");
  RecordingListener macros;
  list.AddListener(&macros);
  ASSERT_EQ(macros.messages.size(), 16u);
  for (std::uint32_t i = 0; i < 16; ++i) EXPECT_EQ(macros.messages[i].second, i);
  macros.messages.clear();
  list.ChangeAt(4, "Tune");
  ASSERT_EQ(macros.messages.size(), 1u);
  EXPECT_EQ(macros.messages[0].second, 4u);
}

TEST(NotifyingValueTest, AListenerMayRemoveAnotherWhileBeingTold) {
  NotifyingValue<int> value(1, 0);
  RecordingListener later;
  struct Remover : Listener {
    NotifyingValue<int>* value;
    Listener* victim;
    void OnNotify(std::uint32_t, std::uint32_t) override { value->RemoveListener(victim); }
  } remover;
  remover.value = &value;
  remover.victim = &later;
  value.AddListenerQuiet(&remover);
  value.AddListenerQuiet(&later);
  value.Change(1);
  EXPECT_TRUE(later.messages.empty());
}

TEST(ConnectionStateTest, ForcedToZeroWhileThePortIsClosed) {
  TestApp t;
  RecordingListener listener;
  t.app->ConnectionStateValue().AddListenerQuiet(&listener);

  t.app->SetConnectionState(kConnectionFirmware);
  EXPECT_EQ(t.app->ConnectionState(), 0u);
  EXPECT_TRUE(listener.messages.empty()) << "no change, no notification";

  t.OpenPort();
  t.app->SetConnectionState(kConnectionFirmware);
  EXPECT_EQ(t.app->ConnectionState(), 3u);
  t.app->SetConnectionState(kConnectionFirmware);
  EXPECT_EQ(listener.messages.size(), 1u);

  t.app->ClosePort();
  EXPECT_EQ(t.app->portOpen.Get(), 0u);
  t.app->SetConnectionState(kConnectionLoader);
  EXPECT_EQ(t.app->ConnectionState(), 0u);
  EXPECT_EQ(listener.messages.size(), 2u);
}

}  // namespace
}  // namespace tola::test
