#pragma once
// The dialogue that opens and closes the serial port and finds out what is at the other end: the
// line speed, whether it is a TOLA400 in its firmware or its bootstrap loader, and its revision and
// serial number. Its results are published through AppState's values.

#include <cstdint>

#include "dialogue/CStateMachine.h"
#include "dialogue/SpeedStates.h"

namespace tola {

struct DeviceName {
  const char* text;
  std::uint32_t deviceType;
  bool firmware;  // else the loader answered
};

// Searched in order; the first name found anywhere in the response wins.
inline constexpr DeviceName kDeviceNames[] = {
    {"TOLA400", kDeviceTola400, true}, {"tola400", kDeviceTola400, false}, {"QZ8", 2, false},
    {"TOLB900", 3, false},             {"tunr600", 4, false},              {"TUNR600", 4, true},
    {"I", kDeviceNone, false},
};

// Identification: "^I;", then "^ID;"; while watching for the loader, "B;" every 100 ms at 38,400.
class QueryIState : public QueryState {
 public:
  QueryIState(CStateMachine& machine, CState* next, CState* secondSuccessor)
      : QueryState(machine, "QueryIState", next, kIdentifyTimeoutMs, "^I;"), m_second(secondSuccessor) {}

  static constexpr std::uint32_t kIdentifyTimeoutMs = 200;
  static constexpr std::uint32_t kWatchTimeoutMs = 100;

  void Enter() override;
  bool Accept(const std::string& response) override;
  void GoToNext() override;
  void OnTimeout() override;

  void SetSecondSuccessor(CState* state) { m_second = state; }

  // The device type the last accepted answer named, until ForgetIdentified; none when no answer
  // named a device.
  std::uint32_t Identified() const { return m_identified; }
  void ForgetIdentified() { m_identified = kDeviceNone; }

 private:
  void GoToSecond();

  CState* m_second;
  std::uint32_t m_identified = kDeviceNone;
  bool m_loaderAnswered = false;
  bool m_firmwareAnswered = false;
};

// "^RV;": a response beginning "^RV" is accepted (a well-formed revision is stored) and means the
// firmware is running. Retries up to the limit, or fails at once in the operate cycle.
class QueryRevisionState : public QueryState {
 public:
  QueryRevisionState(CStateMachine& machine, CState* next, bool retry = true,
                     std::string name = "QueryRevisionState")
      : QueryState(machine, std::move(name), next, 500, "^RV;", kNoResponseRevision), m_retry(retry) {}
  void Enter() override;
  bool Accept(const std::string& response) override;
  void OnTimeout() override;

 private:
  bool m_retry;
  std::uint32_t m_retries = 0;
};

class QuerySerialNumberState : public QueryState {
 public:
  QuerySerialNumberState(CStateMachine& machine, CState* next)
      : QueryState(machine, "QuerySerialNumberState", next, 500, "^sn;", kNoResponseSerialNumber) {}
  bool Accept(const std::string& response) override;
  void OnTimeout() override { FailAtOnce(); }
};

// A loader left in the middle of a download takes every byte as part of a packet and answers only
// when 132 have come, with "N" for a packet that is no good. Fill polls (";", one at a time) find
// that boundary; nothing else would get an answer out of it. Found: the connection state is the
// loader's and AppState's download-waiting value is set. An ordinary answer to the poll (a loader
// just switched on, the firmware), or none after 132 polls: the second successor.
class FindDownloadBoundaryState : public QueryState {
 public:
  FindDownloadBoundaryState(CStateMachine& machine, CState* next, CState* notFound)
      : QueryState(machine, "FindDownloadBoundaryState", next, kPollTimeoutMs, ";"), m_notFound(notFound) {}

  static constexpr std::uint32_t kPollLimit = 132;
  // Far beyond the wire time of a poll and its answer, so an "N" is never taken for the next poll's.
  static constexpr std::uint32_t kPollTimeoutMs = 50;

  void Enter() override;
  std::string Terminators() const override { return "N;"; }
  bool Accept(const std::string& response) override { return response == "N" || response.back() == ';'; }
  void OnAccepted(const std::string& response) override;
  void OnTimeout() override;

  void SetNotFound(CState* state) { m_notFound = state; }

 private:
  void NotFound();

  CState* m_notFound;
  std::uint32_t m_polls = 0;
};

class VerifyExpectedDeviceState : public CState {
 public:
  VerifyExpectedDeviceState(CStateMachine& machine, CState* next)
      : CState(machine, "VerifyExpectedDeviceState", next) {}
  void Execute() override;
};

class ConnectionMachine : public CStateMachine {
 public:
  explicit ConnectionMachine(AppState& app);

  bool StartClosePort();
  bool StartTest();
  // Watching begins by looking for a loader left in the middle of a download.
  bool StartWatching();
  bool StopWatching();
  // Only the look for a loader left in the middle of a download, at 38,400 bit/s.
  bool StartFindingDownload();

  void Complete() override;

 private:
  // Every run starts here, so that what an earlier run identified is not taken for this one's.
  void Begin(CState& first);

  class ClosePortState : public CState {
   public:
    ClosePortState(CStateMachine& machine, CState* next) : CState(machine, "ClosePortState", next) {}
    void Execute() override;
  };
  class OpenPortState : public CState {
   public:
    OpenPortState(CStateMachine& machine, CState* next) : CState(machine, "OpenPortState", next) {}
    void Execute() override;
  };

  QuerySerialNumberState m_querySerialNumber;
  QueryRevisionState m_queryRevision;
  QueryIState m_queryI;
  FindDownloadBoundaryState m_findDownload;
  EstablishContactState m_establishContact;
  OpenPortState m_openPort;
  ClosePortState m_closePort;
};

// Builds the connection machine and hands it to AppState for its whole life.
ConnectionMachine& InstallConnectionMachine(AppState& app);

}  // namespace tola
