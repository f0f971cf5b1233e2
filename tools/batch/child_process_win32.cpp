// The batch tool's process seam on Windows: CreateProcessW with a quoted wide command line,
// and the child's three streams given as handles that only that child inherits.
#include <windows.h>

#include <io.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tools/batch/child_process.h"

namespace batch {
namespace {

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), length);
  return out;
}

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

// Windows' text for an error code, without its line break.
std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = text ? text : L"";
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
    message.pop_back();
  return message.empty() ? "Windows error " + std::to_string(code) : utf8(message);
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

// Closes a handle on every path.
class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : m_handle(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(m_handle);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return m_handle; }

 private:
  HANDLE m_handle;
};

// Opened inheritable; the attribute list of the start lets only its own child inherit it.
HANDLE openInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// An inheritable copy of one of this process's standard handles (null when it has none).
HANDLE inheritableStandard(DWORD which) {
  HANDLE own = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (own && own != INVALID_HANDLE_VALUE)
    DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  return copy;
}

class WindowsChild : public ChildProcess {
 public:
  explicit WindowsChild(HANDLE process) : m_process(process) {}
  ~WindowsChild() override {
    if (!m_waited) Wait();
  }

  ChildExit Wait() override {
    m_waited = true;
    if (WaitForSingleObject(m_process.get(), INFINITE) != WAIT_OBJECT_0) return {true, 0};
    DWORD code = 0;
    if (!GetExitCodeProcess(m_process.get(), &code)) return {true, 0};
    // A process ended by TerminateProcess or an unhandled exception has an NTSTATUS code
    // (0xC0000000 and above) for its status.
    if (code >= 0xC0000000u) return {true, static_cast<int>(code & 0x7FFFFFFF)};
    return {false, static_cast<int>(code)};
  }

 private:
  Handle m_process;
  bool m_waited = false;
};

// The attribute list that names the handles a child may inherit.
class InheritedHandles {
 public:
  explicit InheritedHandles(std::vector<HANDLE> handles) : m_handles(std::move(handles)) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    m_storage.resize(size);
    m_list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_storage.data());
    m_ok = InitializeProcThreadAttributeList(m_list, 1, 0, &size) &&
           UpdateProcThreadAttribute(m_list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                     m_handles.size() * sizeof(HANDLE), nullptr, nullptr);
  }
  ~InheritedHandles() {
    if (m_list) DeleteProcThreadAttributeList(m_list);
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;
  bool ok() const { return m_ok; }
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return m_list; }

 private:
  std::vector<HANDLE> m_handles;
  std::vector<char> m_storage;
  LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
  bool m_ok = false;
};

}  // namespace

std::unique_ptr<ChildProcess> StartChild(const ChildCommand& command, std::string* error) {
  if (command.argv.empty()) {
    *error = "no program given";
    return nullptr;
  }
  Handle in(openInheritable(L"NUL", GENERIC_READ, OPEN_EXISTING));
  Handle out(command.stdoutFile.empty()
                 ? inheritableStandard(STD_OUTPUT_HANDLE)
                 : openInheritable(wide(command.stdoutFile), GENERIC_WRITE, CREATE_ALWAYS));
  if (!command.stdoutFile.empty() && !out.valid()) {
    *error = command.stdoutFile + ": " + systemMessage(GetLastError());
    return nullptr;
  }
  Handle err(command.stderrFile.empty()
                 ? (command.stdoutFile.empty() ? inheritableStandard(STD_ERROR_HANDLE) : nullptr)
                 : openInheritable(wide(command.stderrFile), GENERIC_WRITE, CREATE_ALWAYS));
  if (!command.stderrFile.empty() && !err.valid()) {
    *error = command.stderrFile + ": " + systemMessage(GetLastError());
    return nullptr;
  }
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = in.get();
  startup.StartupInfo.hStdOutput = out.get();
  startup.StartupInfo.hStdError = err.valid() ? err.get() : out.get();
  std::vector<HANDLE> inherited;
  for (HANDLE handle : {in.get(), out.get(), err.get()})
    if (handle && handle != INVALID_HANDLE_VALUE) inherited.push_back(handle);
  InheritedHandles handles(inherited);
  if (!handles.ok()) {
    *error = command.argv[0] + ": can't be started: " + systemMessage(GetLastError());
    return nullptr;
  }
  startup.lpAttributeList = handles.get();

  const std::wstring program = wide(command.argv[0]);
  std::wstring commandLine;
  for (const std::string& argument : command.argv)
    commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(argument));
  const std::wstring folder = wide(command.workingDir);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                      EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &process)) {
    *error = command.argv[0] + ": can't be started: " + systemMessage(GetLastError());
    return nullptr;
  }
  CloseHandle(process.hThread);
  return std::make_unique<WindowsChild>(process.hProcess);
}

const char kProgramSuffix[] = ".exe";

std::string SelfExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  for (wchar_t& c : path)
    if (c == L'\\') c = L'/';
  return utf8(path);
}

std::string FindProgram(const std::string& name) {
  const wchar_t* path = _wgetenv(L"PATH");
  const std::wstring folders = path ? path : L"";
  const std::wstring file = wide(name);
  const bool hasSuffix = file.find(L'.') != std::wstring::npos;
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(L';', start);
    if (end == std::wstring::npos) end = folders.size();
    const std::wstring folder = folders.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    for (const wchar_t* suffix : {L"", L".exe", L".bat", L".cmd"}) {
      if (hasSuffix && *suffix) break;
      const std::wstring candidate = folder + L"\\" + file + suffix;
      const DWORD attributes = GetFileAttributesW(candidate.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return utf8(candidate);
    }
  }
  return "";
}

bool StderrIsTerminal() { return _isatty(2) != 0; }

}  // namespace batch
