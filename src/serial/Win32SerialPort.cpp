#include "serial/Win32SerialPort.h"

#include <algorithm>
#include <memory>

#include "platform/Win32Text.h"

namespace tola {

namespace {

constexpr DWORD kQueueSize = 4096;
constexpr WORD kMinimumFlowLimit = 8;
// The pause before the next wait after one that returned without blocking, so that a driver that
// answers every wait at once does not make the reader spin.
constexpr DWORD kQuickWaitPauseMs = 10;

// What a port gives once its device has gone: an adapter unplugged, a pseudo-terminal behind a
// Wine COM port closed by its other end.
bool MeansGone(ResultCode code) {
  switch (code) {
    case kErrorAccessDenied:
    case kErrorNotReady:
    case 22:  // ERROR_BAD_COMMAND
    case kErrorGenFailure:
    case kErrorBrokenPipe:
    case kErrorDeviceNotConnected:
    case 1617:  // ERROR_DEVICE_REMOVED
      return true;
    default: return false;
  }
}

void CloseAndForget(HANDLE& handle) {
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

std::unique_ptr<CSerialPort> MakeSystemSerialPort(Host& host) {
  return std::make_unique<Win32SerialPort>(host);
}

Win32SerialPort::Win32SerialPort(Host& host) : m_host(host) {}

Win32SerialPort::~Win32SerialPort() { Close(); }

bool Win32SerialPort::OpenFailed(ResultCode code) {
  Close();
  SetLastError(code);
  return false;
}

bool Win32SerialPort::ReportAndFailOpen(const char* call, ResultCode code) {
  ReportPortFailure(call, code);
  return OpenFailed(code);
}

bool Win32SerialPort::FailCall(const char* call, ResultCode code) {
  if (MeansGone(code)) {
    MarkGone();
    return Gone();
  }
  ReportPortFailure(call, code);
  SetLastError(code);
  return false;
}

void Win32SerialPort::MarkGone() {
  if (!m_gone.exchange(true)) TellGone();
}

bool Win32SerialPort::HoldName(const std::string& name) {
  // Windows' serial drivers refuse a second open of a port with ERROR_ACCESS_DENIED; Wine's ports
  // open any number of times. A name held by every open port makes both refuse alike.
  std::wstring port = Wide(name);
  std::transform(port.begin(), port.end(), port.begin(), [](wchar_t c) {
    if (c == L'\\') return L'/';
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  });
  const std::wstring object = L"Local\\TOLA-serial-port-" + port;
  m_nameHold = ::CreateMutexW(nullptr, FALSE, object.c_str());
  if (m_nameHold == nullptr) return true;  // without the name the driver's own refusal remains
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseAndForget(m_nameHold);
    return false;
  }
  return true;
}

bool Win32SerialPort::Open(const std::string& name) {
  if (IsOpen()) return true;
  m_portName = name;
  if (name.empty()) return OpenFailed(kPortNameMissing);
  m_gone = false;

  m_ioEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (m_ioEvent != nullptr) m_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (m_ioEvent == nullptr || m_stopEvent == nullptr) return ReportAndFailOpen("CreateEvent", ::GetLastError());

  // Failures to get hold of the device are the caller's to report.
  if (!HoldName(name)) return OpenFailed(kErrorAccessDenied);
  const std::wstring device = L"\\\\.\\" + Wide(name);
  m_port = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (m_port == INVALID_HANDLE_VALUE) {
    const ResultCode code = ::GetLastError();
    // A port held elsewhere reads as held by another application, whichever way the system says it.
    return OpenFailed(code == kErrorSharingViolation ? kErrorAccessDenied : code);
  }
  if (!::GetCommProperties(m_port, &m_capabilities)) return OpenFailed(::GetLastError());
  if (!::SetupComm(m_port, kQueueSize, kQueueSize)) return ReportAndFailOpen("SetupComm", ::GetLastError());
  if (!ApplyLineSettings() || !ApplyTimeouts()) return OpenFailed(GetLastError());
  if (!::SetCommMask(m_port, EV_RXCHAR)) return ReportAndFailOpen("SetCommMask", ::GetLastError());

  if (m_reader == nullptr) {
    m_readerRunning = true;
    m_reader = ::CreateThread(nullptr, 0, &Win32SerialPort::ReaderEntry, this, 0, nullptr);
    if (m_reader == nullptr) {
      m_readerRunning = false;
      return ReportAndFailOpen("CreateThread", ::GetLastError());
    }
  }
  return true;
}

bool Win32SerialPort::ApplyLineSettings() {
  DCB settings{};
  settings.DCBlength = sizeof(DCB);
  if (!::GetCommState(m_port, &settings)) {
    const ResultCode code = ::GetLastError();
    ReportPortFailure("GetCommState", code);
    SetLastError(code);
    return false;
  }
  // Raw transfer only: no parity check, no flow control of any kind, DTR and RTS held off, no
  // character replacement or stripping, no abort on error. The reserved bits stay as they were.
  settings.fBinary = 1;
  settings.fParity = 0;
  settings.fOutxCtsFlow = 0;
  settings.fOutxDsrFlow = 0;
  settings.fDtrControl = DTR_CONTROL_DISABLE;
  settings.fDsrSensitivity = 0;
  settings.fTXContinueOnXoff = 0;
  settings.fOutX = 0;
  settings.fInX = 0;
  settings.fErrorChar = 0;
  settings.fNull = 0;
  settings.fRtsControl = RTS_CONTROL_DISABLE;
  settings.fAbortOnError = 0;
  settings.BaudRate = kSpeedAfterOpen;
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  settings.StopBits = ONESTOPBIT;
  settings.XonChar = 0x11;
  settings.XoffChar = 0x13;
  settings.ErrorChar = 0;
  settings.EofChar = 0x1A;
  settings.EvtChar = ';';
  // Flow control is off, so the limits only have to be plausible.
  const DWORD quarter = m_capabilities.dwCurrentRxQueue / 4;
  const WORD limit =
      quarter > kMinimumFlowLimit ? static_cast<WORD>(std::min<DWORD>(quarter, 0xFFFF)) : kMinimumFlowLimit;
  settings.XonLim = limit;
  settings.XoffLim = limit;

  const bool applied = ::SetCommState(m_port, &settings) != 0;
  const ResultCode code = applied ? kErrorSuccess : ::GetLastError();
  if (applied) {
    m_lineSettings = settings;
  } else {
    ReportPortFailure("SetCommState", code);
  }
  m_host.Sleep(kSpeedChangePauseMs);
  SetLastError(code);
  return applied;
}

bool Win32SerialPort::ApplyTimeouts() {
  // A read returns at once with what is buffered; a write has no time limit.
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
  if (::SetCommTimeouts(m_port, &timeouts)) return true;
  const ResultCode code = ::GetLastError();
  ReportPortFailure("SetCommTimeouts", code);
  SetLastError(code);
  return false;
}

DWORD WINAPI Win32SerialPort::ReaderEntry(void* self) {
  return static_cast<Win32SerialPort*>(self)->ReaderThread();
}

DWORD Win32SerialPort::ReaderThread() {
  HANDLE waitEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (waitEvent == nullptr) {
    const DWORD code = ::GetLastError();
    ReportPortFailure("CreateEvent", code);
    m_readerRunning = false;
    return code;
  }
  DWORD exitCode = 0;
  DWORD mask = 0;
  while (m_stop.load() == 0) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = waitEvent;
    bool waited = false;
    if (!::WaitCommEvent(m_port, &mask, &overlapped)) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_ACCESS_DENIED) {
        // The device went away: end quietly; the sink hears of it once.
        MarkGone();
        break;
      }
      if (code == ERROR_IO_PENDING) {
        DWORD ignored = 0;
        waited = WaitForCompletion(overlapped, ignored);
        if (!HasOverlappedIoCompleted(&overlapped)) {
          // Stopped while the wait was still pending: the record must outlive the request.
          ::CancelIo(m_port);
          ::GetOverlappedResult(m_port, &overlapped, &ignored, TRUE);
        }
      } else if (code != ERROR_INVALID_PARAMETER) {
        ReportPortFailure("WaitCommEvent", code);
        exitCode = code;
        break;
      }
    }
    if (m_stop.load() != 0) break;

    DWORD lineErrors = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_port, &lineErrors, &status) && MeansGone(::GetLastError())) {
      MarkGone();
      break;
    }
    if (mask != 0) PostSerialEvent(((lineErrors & 0xFFFFu) << 16) | (mask & 0xFFFFu));
    // A wait that did not block is not asked again at once: Wine's ports report received
    // characters for as long as they lie unread and end every other wait without an event.
    if (!waited) ::WaitForSingleObject(m_stopEvent, kQuickWaitPauseMs);
  }
  ::CloseHandle(waitEvent);
  m_readerRunning = false;
  return exitCode;
}

bool Win32SerialPort::WaitForCompletion(OVERLAPPED& overlapped, DWORD& count) {
  count = 0;
  const HANDLE handles[2] = {m_stopEvent, overlapped.hEvent};
  switch (::WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0: return true;  // stopping: nothing was transferred
    case WAIT_OBJECT_0 + 1: return ::GetOverlappedResult(m_port, &overlapped, &count, FALSE) != 0;
    default: return false;
  }
}

bool Win32SerialPort::Close() {
  if (IsOpen()) {
    m_stop = 1;
    if (m_reader != nullptr) {
      // A new mask completes the pending wait; the stop event ends any wait for its completion.
      if (!::SetCommMask(m_port, EV_RXCHAR)) {
        const ResultCode code = ::GetLastError();
        if (code != kErrorAccessDenied && !m_gone.load()) ReportPortFailure("SetCommMask", code);
      }
      ::SetEvent(m_stopEvent);
      ::WaitForSingleObject(m_reader, INFINITE);
      ::ResetEvent(m_stopEvent);
      CloseAndForget(m_reader);
    }
    m_stop = 0;
    ::CloseHandle(m_port);
    m_port = INVALID_HANDLE_VALUE;
  }
  CloseAndForget(m_stopEvent);
  CloseAndForget(m_ioEvent);
  CloseAndForget(m_nameHold);
  return true;
}

bool Win32SerialPort::Complete(const char* call, BOOL started, OVERLAPPED& overlapped, DWORD& done) {
  if (started) return true;
  const ResultCode code = ::GetLastError();
  if (code != ERROR_IO_PENDING) return FailCall(call, code);
  if (WaitForCompletion(overlapped, done)) return true;
  const ResultCode failed = ::GetLastError();
  if (MeansGone(failed)) {
    MarkGone();
    return Gone();
  }
  SetLastError(failed);
  return false;
}

bool Win32SerialPort::Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
  bytesRead = 0;
  if (!Usable()) return false;
  if (count == 0) return true;
  OVERLAPPED overlapped{};
  overlapped.hEvent = m_ioEvent;
  DWORD done = 0;
  const BOOL started = ::ReadFile(m_port, buffer, count, &done, &overlapped);
  if (!started && ::GetLastError() == ERROR_IO_PENDING && ::WaitForSingleObject(m_ioEvent, 0) == WAIT_TIMEOUT) {
    // The time-outs make a read return at once; one left pending all the same (Wine's ports do so
    // while nothing is buffered) is taken back with whatever it found by then.
    if (!::CancelIo(m_port)) ReportPortFailure("CancelIo", ::GetLastError());
    if (!::GetOverlappedResult(m_port, &overlapped, &done, TRUE) && ::GetLastError() != ERROR_OPERATION_ABORTED) {
      return Complete("ReadFile", FALSE, overlapped, done);
    }
  } else if (!Complete("ReadFile", started, overlapped, done)) {
    return false;
  }
  bytesRead = done;
  return true;
}

bool Win32SerialPort::Write(const char* bytes, std::uint32_t count) {
  if (!Usable()) return false;
  OVERLAPPED overlapped{};
  overlapped.hEvent = m_ioEvent;
  DWORD done = 0;
  const BOOL started = ::WriteFile(m_port, bytes, count, &done, &overlapped);
  if (!Complete("WriteFile", started, overlapped, done)) return false;
  if (done != count) {
    // A short write fails without a report of its own.
    SetLastError(kErrorTimeout);
    return false;
  }
  return true;
}

bool Win32SerialPort::Purge() {
  if (!Usable()) return false;
  if (!::PurgeComm(m_port, PURGE_RXCLEAR)) return FailCall("PurgeComm", ::GetLastError());
  return true;
}

bool Win32SerialPort::ClearCommError(std::uint32_t& errors) {
  errors = 0;
  if (!Usable()) return false;
  DWORD flags = 0;
  COMSTAT status{};
  if (!::ClearCommError(m_port, &flags, &status)) {
    SetLastError(::GetLastError());
    return false;
  }
  errors = flags;
  return true;
}

ResultCode Win32SerialPort::SetLineSpeed(std::uint32_t speed) {
  if (!IsSupportedSpeed(speed)) return kEInvalidArg;
  if (speed == m_lineSettings.BaudRate) return 1;
  if (!Usable()) return 0;
  m_host.Sleep(kSpeedChangePauseMs);
  const DWORD oldSpeed = m_lineSettings.BaudRate;
  m_lineSettings.BaudRate = speed;
  const bool applied = ::SetCommState(m_port, &m_lineSettings) != 0;
  ResultCode code = applied ? kErrorSuccess : ::GetLastError();
  if (!applied) {
    // The recorded speed stays the old one.
    m_lineSettings.BaudRate = oldSpeed;
    if (MeansGone(code)) {
      MarkGone();
      code = kErrorDeviceNotConnected;
    } else {
      ReportPortFailure("SetCommState", code);
    }
  }
  m_host.Sleep(kSpeedChangePauseMs);
  if (!applied) {
    SetLastError(code);
    return 0;
  }
  return 1;
}

}  // namespace tola
