#pragma once
// Helpers shared by the simulator tests: a model on a virtual clock that a test talks to byte by
// byte, and the wire forms of EEPROM commands and loader packets built independently of the model.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/VirtualHost.h"
#include "sim/SimClock.h"
#include "sim/Tola400Model.h"

namespace tola::test {

// A byte the amplifier sent, its line speed and when it was sent.
struct Arrival { char byte; std::uint32_t speed; std::uint64_t timeUs; };

class ModelBench {
 public:
  // `setUp` changes the default options before the model is made.
  explicit ModelBench(const std::function<void(Tola400Options&)>& setUp)
      : ModelBench([&] { Tola400Options o; setUp(o); return o; }()) {}
  explicit ModelBench(Tola400Options options = {}) : clock(host), model(clock, options) {
    model.SetOutput([this](char byte, std::uint32_t speed) {
      out.push_back(Arrival{byte, speed, host.NowMicros()});
      text += byte;
    });
  }

  // Sends `bytes` as a program would, one wire time apart, at `speed` (0: the model's own speed).
  void Send(const std::string& bytes, std::uint32_t speed = 0) {
    if (speed == 0) speed = model.Speed();
    for (char c : bytes) {
      host.AdvanceByMicros(ByteTimeMicros(speed));
      model.Receive(c, speed);
    }
  }

  // Sends, waits `waitMs` and returns what the amplifier sent meanwhile.
  std::string Ask(const std::string& bytes, std::uint32_t waitMs = 50, std::uint32_t speed = 0) {
    text.clear();
    out.clear();
    Send(bytes, speed);
    host.AdvanceBy(waitMs);
    return text;
  }

  VirtualHost host;
  VirtualHostClock clock;
  Tola400Model model;
  std::vector<Arrival> out;
  std::string text;
};

inline std::string Hex2(unsigned value) {
  static const char* digits = "0123456789ABCDEF";
  return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

inline std::uint8_t Negate(unsigned sum) { return static_cast<std::uint8_t>(0x100 - (sum & 0xFF)); }

// "^ERP"/"^ERS" + bank, address, count + checksum + ";".
inline std::string ReadCommand(const std::string& prefix, unsigned bank, unsigned address, unsigned count) {
  return prefix + Hex2(bank) + Hex2(address) + Hex2(count) + Hex2(Negate(bank + address + count)) + ";";
}

inline std::string WriteCommand(const std::string& prefix, unsigned bank, unsigned address,
                                const std::vector<std::uint8_t>& data) {
  unsigned sum = bank + address + static_cast<unsigned>(data.size());
  std::string text = prefix + Hex2(bank) + Hex2(address) + Hex2(static_cast<unsigned>(data.size()));
  for (std::uint8_t b : data) {
    text += Hex2(b);
    sum += b;
  }
  return text + Hex2(Negate(sum)) + ";";
}

inline std::vector<std::uint8_t> HexBytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// A 132-byte loader packet: 128 image bytes, the 24-bit address low byte first, and the byte that
// makes all 132 sum to zero.
inline std::string Packet(std::uint32_t address, const std::vector<std::uint8_t>& data) {
  std::string packet(data.begin(), data.end());
  packet.resize(128, '\xFF');
  packet += static_cast<char>(address & 0xFF);
  packet += static_cast<char>((address >> 8) & 0xFF);
  packet += static_cast<char>((address >> 16) & 0xFF);
  unsigned sum = 0;
  for (char c : packet) sum += static_cast<unsigned char>(c);
  packet += static_cast<char>(Negate(sum));
  return packet;
}

inline std::vector<std::uint8_t> PatternBlock(std::uint32_t seed) {
  std::vector<std::uint8_t> data(128);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(seed * 31 + i * 7);
  return data;
}

}  // namespace tola::test
