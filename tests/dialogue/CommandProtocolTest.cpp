#include <gtest/gtest.h>

#include "dialogue/CommandProtocol.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

TEST(ParserTest, Numbers) {
  // Only blanks are skipped before the number; it ends at the first non-digit.
  for (const auto& [text, value] : {std::pair{"123;", 123}, {"   42;", 42}, {"-5;", -5}, {"+7;", 7}, {";", 0},
                                    {"\t5;", 0}, {"12a3;", 12}, {"", 0}}) {
    EXPECT_EQ(ParseNumber(text), value) << text;
  }
}

TEST(ParserTest, FlagsCharactersHexAndText) {
  EXPECT_EQ(ParseFlag("0;"), 0u);
  EXPECT_EQ(ParseFlag("1;"), 1u);
  for (const char* bad : {"2;", ";"}) EXPECT_FALSE(ParseFlag(bad)) << bad;
  EXPECT_EQ(ParseCharacter("B;"), 'B');
  EXPECT_EQ(ParseCharacter(";"), ';');

  EXPECT_EQ(ParseHexValue("A5;"), 0xA5);
  EXPECT_EQ(ParseHexValue("a5;"), 0xA5);
  EXPECT_EQ(ParseHexValue(" 0f ;"), 0x0F);
  SetLastError(0);
  EXPECT_FALSE(ParseHexValue("5;"));
  EXPECT_EQ(GetLastError(), kUnexpectedHexCharacter);
  EXPECT_FALSE(ParseHexValue("G1;"));

  EXPECT_EQ(ParseText(" Tuning OK;"), "Tuning OK");
  EXPECT_EQ(ParseText(";;done;;"), "done");
  for (const char* empty : {";", "  ; "}) EXPECT_FALSE(ParseText(empty)) << empty;
}

TEST(ParserTest, RevisionAndItsText) {
  EXPECT_EQ(ParseRevision("^RV01.23;"), 123);
  EXPECT_EQ(ParseRevision("^RV99.99;"), 9999);
  for (const char* bad : {"^RV1.23;", "^RV01.23", "^rv01.23;"}) EXPECT_FALSE(ParseRevision(bad)) << bad;
  for (const auto& [revision, text] : {std::pair{0, "??.??"}, {123, "01.23"}, {9999, " N/A "}, {0xFFFE, "Loading"},
                                       {1207, "12.07"}}) {
    EXPECT_EQ(RevisionText(static_cast<std::uint16_t>(revision)), text) << revision;
  }
}

// Stores through the table, as the polling states do.
class StoreTest : public ::testing::Test {
 protected:
  bool Store(OperateItem item, const std::string& value) { return StoreValue(*t.app, CommandFor(item), value); }
  TestApp t;
};

TEST_F(StoreTest, LimitsOfTheNumberKinds) {
  EXPECT_TRUE(Store(OperateItem::Swr, "65535;"));
  EXPECT_EQ(t.app->swr.Get(), 65535);
  EXPECT_FALSE(Store(OperateItem::Swr, "65536;"));
  EXPECT_EQ(t.app->swr.Get(), 65535);
  EXPECT_TRUE(Store(OperateItem::Temperature, "-1;"));
  EXPECT_EQ(t.app->temperature.Get(), 0xFFFF) << "a negative number keeps its low 16 bits";
  EXPECT_TRUE(Store(OperateItem::DrainCurrent, ";"));
  EXPECT_EQ(t.app->drainCurrent.Get(), 0);

  EXPECT_TRUE(Store(OperateItem::Band, "10;"));
  EXPECT_EQ(t.app->bandIndex.Get(), 10u);
  for (const char* bad : {"11;", "-1;", "-2147483648;"}) {
    EXPECT_FALSE(Store(OperateItem::Band, bad)) << bad;
    EXPECT_EQ(t.app->bandIndex.Get(), 10u) << bad;
  }
  EXPECT_TRUE(Store(OperateItem::Band, "0;"));

  EXPECT_TRUE(Store(OperateItem::Antenna, "2;"));
  EXPECT_EQ(t.app->antenna.Get(), 2u);
  for (const char* bad : {"0;", "3;"}) EXPECT_FALSE(Store(OperateItem::Antenna, bad)) << bad;
  EXPECT_TRUE(Store(OperateItem::Antenna, "257;")) << "only the low 8 bits count";
  EXPECT_EQ(t.app->antenna.Get(), 1u);
}

TEST_F(StoreTest, OtherKindsAndNotification) {
  RecordingListener listener;
  t.app->capacitor.AddListenerQuiet(&listener);
  EXPECT_TRUE(Store(OperateItem::Capacitor, "a5;"));
  EXPECT_EQ(t.app->capacitor.Get(), 0xA5);
  EXPECT_FALSE(Store(OperateItem::Capacitor, "5;"));
  EXPECT_EQ(listener.messages.size(), 1u);
  EXPECT_TRUE(Store(OperateItem::Capacitor, "A5;"));
  EXPECT_EQ(listener.messages.size(), 2u) << "stored and notified even when unchanged";

  EXPECT_TRUE(Store(OperateItem::Operate, "1;"));
  EXPECT_FALSE(Store(OperateItem::Operate, "x;"));
  EXPECT_TRUE(Store(OperateItem::Fault, "\xC1;"));
  EXPECT_EQ(static_cast<unsigned char>(t.app->fault.Get()), 0xC1);
  EXPECT_FALSE(Store(OperateItem::TuneStatus, ";"));
  EXPECT_TRUE(Store(OperateItem::TuneStatus, "OK 1.2;"));
  EXPECT_EQ(t.app->tuneStatus.Get(), "OK 1.2");
}

// A machine around one polling state, to watch it send and time out.
class OneStateMachine : public CStateMachine {
 public:
  OneStateMachine(AppState& app, OperateItem item)
      : CStateMachine(app, kTimerOperate), state(*this, CommandFor(item), &Final(), nullptr) {}
  ValueQueryState state;
};

class QueryStateTest : public ::testing::Test {
 protected:
  QueryStateTest() { t.OpenPort(); }
  TestApp t;
};

TEST_F(QueryStateTest, LowerCaseAnswerIsNotAcceptedAndTheQueryFails) {
  OneStateMachine m(*t.app, OperateItem::Swr);
  m.Start(m.state);
  EXPECT_EQ(t.port->writes.back(), "^sw;");
  m.OnSerialEvent();
  t.port->rx = "^sw15;";
  m.OnSerialEvent();
  EXPECT_FALSE(m.IsIdle());
  m.OnTimer(kTimerOperate);
  EXPECT_EQ(m.Result(), kNoResponseSwr);

  m.Start(m.state);
  t.port->rx = "^SW15;";
  m.OnSerialEvent();
  EXPECT_TRUE(m.IsIdle());
  EXPECT_EQ(m.Result(), 0u);
  EXPECT_EQ(t.app->swr.Get(), 15);
}

TEST_F(QueryStateTest, FrequencyPrefixAlsoMatchesFaultAnswers) {
  OneStateMachine m(*t.app, OperateItem::Frequency);
  m.Start(m.state);
  t.port->rx = "^FL7;";
  m.OnSerialEvent();
  EXPECT_TRUE(m.IsIdle()) << "\"^F\" is a prefix of \"^FL\"";
  EXPECT_EQ(t.app->frequency.Get(), 0);
}

}  // namespace
}  // namespace tola::test
