// keymoor-cli.exe started as a child process under Wine, its standard output and error on
// pipes: for the tests of the command line and of the window against it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>

// Owns one handle; closes it on destruction.
class CHandle {
 public:
  CHandle() = default;
  explicit CHandle(HANDLE handle) : handle_(handle) {}
  ~CHandle() { Close(); }
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;
  HANDLE Get() const { return handle_; }
  HANDLE* Out() { return &handle_; }
  void Close() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A pipe whose write end a child inherits.
struct Pipe {
  Pipe() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    EXPECT_TRUE(CreatePipe(read.Out(), write.Out(), &inherit, 0));
    SetHandleInformation(read.Get(), HANDLE_FLAG_INHERIT, 0);
  }
  CHandle read, write;
};

inline std::string ReadAll(HANDLE from, std::size_t most = std::string::npos) {
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (bytes.size() < most &&
         ReadFile(from, chunk, static_cast<DWORD>(std::min(sizeof chunk, most - bytes.size())), &got, nullptr) &&
         got > 0)
    bytes.append(chunk, got);
  return bytes;
}

struct Child {
  DWORD status = 0;
  std::string out, err;
};

// Starts keymoor-cli.exe with the command-line tail `args`, its standard output and error
// on pipes. Reads at most `most` bytes of its output, then closes the pipe's read end (the
// reader goes away), and waits for it to end.
inline Child RunExe(const std::wstring& args, std::size_t most = std::string::npos) {
  std::wstring exe = L"Z:";  // the Linux path of the build tree, through Wine's Z: drive
  for (const char c : std::string(KEYMOOR_CLI)) exe += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  std::wstring line = L"\"" + exe + L"\" " + args;
  Pipe out, err;
  CHandle input(CreateFileW(L"NUL", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  SetHandleInformation(input.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = input.Get();
  start.hStdOutput = out.write.Get();
  start.hStdError = err.write.Get();
  PROCESS_INFORMATION info{};
  Child child;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &info)) {
    ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
    return child;
  }
  CHandle process(info.hProcess), thread(info.hThread);
  out.write.Close();
  err.write.Close();
  std::thread errors([&] { child.err = ReadAll(err.read.Get()); });
  child.out = ReadAll(out.read.Get(), most);
  out.read.Close();
  errors.join();
  EXPECT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
  GetExitCodeProcess(process.Get(), &child.status);
  return child;
}
