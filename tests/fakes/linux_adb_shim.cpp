// adb-linux.exe: under Wine, runs Debian's Linux adb client (/usr/bin/adb, or the Unix path in
// OZ_LINUX_ADB) with this program's arguments and environment, passes on what it writes to
// stdout and stderr, and exits with its exit code. Lets the Windows program be tested against
// the real adb talking to the TV double (README_adb_tv.md). Standard input is /dev/null.
//
// Wine starts a Unix executable given to CreateProcessW, but hands back no process handle
// (nothing to wait on, no exit code), maps only stdin and stdout, and a Wine pipe cannot take
// a Unix process's writes. So the Linux side is /bin/sh: it runs adb with its output going to
// two temp files that this program copies to its own handles as they grow, and writes adb's
// exit code to a third file when adb ends. This program touches a fourth file twice a second;
// when that stops (this program was killed) the shell kills adb, as ending adb.exe would on
// Windows.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using WineUnixName = char*(__cdecl*)(const wchar_t*);
using WineDosName = wchar_t*(__cdecl*)(const char*);

// "$0" is the Unix path of the status file; the others are named after it.
constexpr const wchar_t* kScript =
    L"exec </dev/null >>\"$0.out\" 2>>\"$0.err\"; \"$@\" & child=$!; "
    L"( while sleep 1; do a=$(stat -c %Y \"$0.alive\" 2>/dev/null) || exit; "
    L"if [ $(( $(date +%s) - a )) -gt 3 ]; then kill $child; rm -f \"$0.out\" \"$0.err\" \"$0.alive\"; exit; fi; "
    L"done ) & watcher=$!; "
    L"wait $child; code=$?; kill $watcher 2>/dev/null; "
    L"if [ -e \"$0.alive\" ]; then echo $code > \"$0.part\" && mv \"$0.part\" \"$0\"; fi";

// Quotes one argument so that the Windows command-line rules (which Wine also uses to build a
// Unix argv) give it back unchanged.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

std::wstring widen(const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

HANDLE openShared(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

// Copies what the file has gained since the last call; false once the target is gone.
bool pump(HANDLE from, HANDLE to) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    DWORD written = 0;
    if (to != nullptr && to != INVALID_HANDLE_VALUE && !WriteFile(to, buffer, got, &written, nullptr)) {
      return false;
    }
  }
  return true;
}

int fail(const char* what) {
  std::fprintf(stderr, "adb-linux.exe: %s (error %lu)\n", what, GetLastError());
  return 1;
}

}  // namespace

int main() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto unixName = reinterpret_cast<WineUnixName>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  auto dosName = reinterpret_cast<WineDosName>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
  if (unixName == nullptr || dosName == nullptr) {
    return fail("runs only under Wine");
  }

  wchar_t tempFolder[MAX_PATH];
  wchar_t statusPath[MAX_PATH];
  if (GetTempPathW(MAX_PATH, tempFolder) == 0 || GetTempFileNameW(tempFolder, L"adb", 0, statusPath) == 0) {
    return fail("cannot make a temp file");
  }
  DeleteFileW(statusPath);  // the shell makes it when adb has ended
  char* unixStatus = unixName(statusPath);
  wchar_t* shell = dosName("/bin/sh");
  if (unixStatus == nullptr || shell == nullptr) {
    return fail("cannot map paths between Windows and Unix");
  }

  wchar_t adbPath[MAX_PATH];
  const DWORD adbLength = GetEnvironmentVariableW(L"OZ_LINUX_ADB", adbPath, MAX_PATH);
  const std::wstring adb = adbLength > 0 && adbLength < MAX_PATH ? std::wstring(adbPath) : L"/usr/bin/adb";

  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring commandLine = L"sh -c " + quoted(kScript) + L" " + quoted(widen(unixStatus)) + L" " + quoted(adb);
  HeapFree(GetProcessHeap(), 0, unixStatus);  // Wine's allocations for these two
  for (int i = 1; i < argc; ++i) {
    commandLine += L" " + quoted(argv[i]);
  }
  LocalFree(argv);

  const std::wstring base = statusPath;
  HANDLE out = openShared(base + L".out", GENERIC_READ);
  HANDLE err = openShared(base + L".err", GENERIC_READ);
  HANDLE alive = openShared(base + L".alive", GENERIC_WRITE);
  if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE || alive == INVALID_HANDLE_VALUE) {
    return fail("cannot make the temp files");
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(shell, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &startup, &process);
  HeapFree(GetProcessHeap(), 0, shell);
  if (!started) {
    return fail("cannot start /bin/sh");
  }
  // Wine gives no handles for a Unix process; close them should a later Wine give some.
  if (process.hThread != nullptr) {
    CloseHandle(process.hThread);
  }
  if (process.hProcess != nullptr) {
    CloseHandle(process.hProcess);
  }

  HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE stdErr = GetStdHandle(STD_ERROR_HANDLE);
  for (unsigned round = 0;; ++round) {
    const bool ended = GetFileAttributesW(statusPath) != INVALID_FILE_ATTRIBUTES;
    pump(out, stdOut);
    pump(err, stdErr);
    if (ended) {
      break;
    }
    if (round % 25 == 0) {
      DWORD written = 0;
      SetFilePointer(alive, 0, nullptr, FILE_BEGIN);
      WriteFile(alive, "1", 1, &written, nullptr);
    }
    Sleep(20);
  }
  int code = 1;
  if (FILE* status = _wfopen(statusPath, L"r")) {
    if (std::fscanf(status, "%d", &code) != 1) {
      code = 1;
    }
    std::fclose(status);
  }
  CloseHandle(out);
  CloseHandle(err);
  CloseHandle(alive);
  for (const wchar_t* suffix : {L"", L".out", L".err", L".alive"}) {
    DeleteFileW((base + suffix).c_str());
  }
  return code;
}
