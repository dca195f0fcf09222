#include <gtest/gtest.h>

#include "e2e/E2eSupport.h"

namespace tola::test {
namespace {

TEST_F(EndToEnd, PortTestFindsTheAmplifierOrTheLoaderAndSendPrintsTheAnswer) {
  const std::string port = StartSimulator({"--speed", "9600", "--serial", "4711", "--revision", "02.05"});
  ASSERT_FALSE(port.empty());
  const RunResult r = Tola({"--port", port, "test", "--timeout", "20"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("Serial Port " + ShownPort(port) + " is open"), std::string::npos) << r.err;
  for (const char* speed : {"38400", "19200", "9600"}) {
    EXPECT_TRUE(Has(r.err, "Attempting to contact TOLA on port " + ShownPort(port) + " at " + speed + " bit/s")) << r.err;
  }
  EXPECT_EQ(r.err.find("at 4800 bit/s"), std::string::npos) << "found before 4,800 was tried";
  EXPECT_NE(r.out.find("Speed:             9600 bit/s"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Connection state:  3 (TOLA400 firmware running)"), std::string::npos);
  EXPECT_NE(r.out.find("Revision:          02.05"), std::string::npos);
  EXPECT_NE(r.out.find("Serial number:     04711"), std::string::npos);

  const RunResult sent = Tola({"--quiet", "--port", port, "send", "^RV;"});
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(sent.out, "^RV02.05;\n");

  // The loader gives its own status.
  const std::string loader = StartSimulator({"--loader"});
  ASSERT_FALSE(loader.empty());
  const RunResult inLoader = Tola({"--port", loader, "test", "--timeout", "20"});
  EXPECT_EQ(inLoader.status, 5) << inLoader.out << inLoader.err;
  EXPECT_NE(inLoader.out.find("Connection state:  2"), std::string::npos) << inLoader.out;
}

}  // namespace
}  // namespace tola::test
