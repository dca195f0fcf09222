#include <gtest/gtest.h>

#include "app/StatusText.h"
#include "app/VersionLines.h"
#include "support/TestApp.h"

namespace tola {
namespace {

struct TitleRow {
  const char* name;
  std::uint16_t serialNumber;
  const char* port;
  bool open;
  const char* tail;  // what follows the program line
};

TEST(StatusTextTest, TitleShowsSerialNumberAndPortOnlyWhenKnown) {
  const TitleRow rows[] = {
      {"nothing known", 0xFFFF, "", false, ""},
      {"serial 42 has five digits", 42, "", false, " - S/N 00042"},
      {"port chosen, closed", 0xFFFF, "ttyUSB0", false, " on ttyUSB0 closed"},
      {"port open at its speed", 1234, "ttyUSB0", true, " - S/N 01234 on ttyUSB0 at 38400 bit/s"},
      {"serial 0 is a number", 0, "ttyS1", false, " - S/N 00000 on ttyS1 closed"},
  };
  for (const TitleRow& row : rows) {
    SCOPED_TRACE(row.name);
    test::TestApp t;
    t.app->serialNumber.Set(row.serialNumber);
    t.app->port.Set(row.port);
    if (row.open) t.OpenPort(row.port);
    EXPECT_EQ(WindowTitle(*t.app), ProgramVersionLine() + row.tail);
  }
}

TEST(StatusTextTest, StatusFollowsTheConnectionState) {
  struct Row {
    std::uint32_t state;
    bool open;
    std::uint16_t revision;
    const char* text;
  };
  const Row rows[] = {
      {kConnectionLoader, true, 0, "TOLA waiting for power button or firmware load. RS-232 speed 38400 bit/s."},
      {kConnectionFirmware, true, 123, "TOLA revision 01.23. RS-232 speed 38400 bit/s"},
      {kConnectionFirmware, true, 9999, "TOLA revision  N/A . RS-232 speed 38400 bit/s"},
      {kConnectionFirmware, true, 0xFFFE, "TOLA revision Loading. RS-232 speed 38400 bit/s"},
      {kConnectionNone, true, 0, "TOLA is not responding"},
      {kConnectionNone, false, 0, "Serial Port is closed"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    test::TestApp t;
    if (row.open) t.OpenPort();
    t.app->installedRevision.Set(row.revision);
    t.app->SetConnectionState(row.state);
    EXPECT_EQ(ConnectionStatusText(*t.app), row.text);
  }
}

}  // namespace
}  // namespace tola
