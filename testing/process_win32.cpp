// RunProcess on Windows: CreateProcessW, with the child's three streams on pipes that threads
// of this process feed and drain, so that no stream can fill and stall the child.
#include <windows.h>

#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "testing/test_support.h"

namespace test_support {
namespace {

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), length);
  return out;
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

// The environment block: this process's variables with the additions, names compared without
// regard to case as Windows does.
std::wstring environmentWith(const std::map<std::string, std::string>& additions) {
  std::map<std::wstring, std::wstring, bool (*)(const std::wstring&, const std::wstring&)>
      variables([](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
      });
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
    const std::wstring text(entry);
    const size_t equals = text.find(L'=', 1);  // "=C:=C:\..." entries start with "="
    if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : additions) variables[wide(name)] = wide(value);
  std::wstring out;
  for (const auto& [name, value] : variables) out += name + L"=" + value + L'\0';
  return out + L'\0';
}

struct Pipe {
  HANDLE read = nullptr, write = nullptr;
  Pipe() {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) throw std::runtime_error("pipe failed");
  }
  ~Pipe() {
    Close(read);
    Close(write);
  }
  static void Close(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
  }
};

void drain(HANDLE from, std::string* into) {
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(from, buffer, sizeof buffer, &read, nullptr) && read > 0)
    into->append(buffer, read);
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::string& input) {
  Pipe in, out, err;
  // Only the child's ends are inherited.
  SetHandleInformation(in.write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(out.read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err.read, HANDLE_FLAG_INHERIT, 0);

  std::wstring commandLine = quoted(wide(program));
  for (const auto& arg : args) commandLine += L" " + quoted(wide(arg));
  std::wstring environment = environmentWith(env);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.read;
  startup.hStdOutput = out.write;
  startup.hStdError = err.write;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(wide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(), nullptr,
                      &startup, &process))
    throw std::runtime_error("can't start " + program + ": Windows error " +
                             std::to_string(GetLastError()));
  Pipe::Close(in.read);
  Pipe::Close(out.write);
  Pipe::Close(err.write);

  ProcessResult result;
  std::thread errors(drain, err.read, &result.err);
  std::thread feeder([&] {
    DWORD written = 0;
    if (!input.empty())
      WriteFile(in.write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    Pipe::Close(in.write);
  });
  drain(out.read, &result.out);
  errors.join();
  feeder.join();
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  result.exitCode = static_cast<int>(code);
  return result;
}

}  // namespace test_support
