// File names and file operations of the host. Paths are Windows paths (see host/paths.h for
// how the stand-in maps them); every status is 0 for success.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/wstring.h"

namespace host {
class WritableFile;
}  // namespace host

enum class BeFileNameStatus : int {
  Success = 0,
  IllegalName = 1,
  AlreadyExists = 2,
  CantCreate = 3,
  FileNotFound = 4,
  CantDeleteDir = 5,
  AccessViolation = 6,
  UnknownError = 7,
};

class BeFileName : public WString {
 public:
  // The parts of a file name that the constructor from a part mask keeps.
  enum FileNameParts : int {
    Device = 1,
    Directory = 2,
    Basename = 4,
    Extension = 8,
    DevAndDir = Device | Directory,
    NameAndExt = Basename | Extension,
    All = DevAndDir | NameAndExt,
  };

  BeFileName() = default;
  BeFileName(WCharCP name) : WString(name ? name : L"") {}
  BeFileName(const WString& name) : WString(name) {}
  // The parts of fullName that mask selects, e.g. NameAndExt (12) gives "Site.dgn".
  BeFileName(int mask, WCharCP fullName);

  void SetName(WCharCP name) { assign(name ? name : L""); }
  WCharCP GetName() const { return c_str(); }
  // The name without device, directory and extension ("Site.i" for "D:\P\Site.i.dgn").
  WString GetFileNameWithoutExtension() const;

  bool DoesPathExist() const { return DoesPathExist(c_str()); }
  static bool DoesPathExist(WCharCP path);
  static bool IsDirectory(WCharCP path);
  // Creates the folder and any missing parents; fails with AlreadyExists when the folder
  // is there, IllegalName when a new component holds a character Windows refuses.
  static BeFileNameStatus CreateNewDirectory(WCharCP path);
  // Removes the folder with everything in it; symbolic links inside are removed, never
  // followed.
  static BeFileNameStatus EmptyAndRemoveDirectory(WCharCP path);
  static BeFileNameStatus BeDeleteFile(WCharCP path);
};

enum class BeFileStatus : int {
  Success = 0,
  FileNotFound = 1,
  AccessViolation = 2,
  WriteError = 3
};
enum class BeFileAccess : int { Read = 1, Write = 2 };

// A file opened by name. Narrow names are locale text and name the same file as their wide
// form. The file is closed by Close or by the destructor.
class BeFile {
 public:
  BeFile();
  ~BeFile();
  BeFile(const BeFile&) = delete;
  BeFile& operator=(const BeFile&) = delete;

  // Creates the file, or empties it when it exists, for writing.
  BeFileStatus Create(const char* narrowName);
  BeFileStatus Create(WCharCP name);
  // Writes size bytes; *written tells how many reached the file.
  BeFileStatus Write(uint32_t* written, const void* data, uint32_t size);
  BeFileStatus Close();

  // Reads the whole file at once.
  static BeFileStatus ReadEntireFile(std::string& contents, const char* narrowName);
  static BeFileStatus ReadEntireFile(std::string& contents, WCharCP name);

 private:
  std::unique_ptr<host::WritableFile> m_file;  // the open file; null before Create, after Close
};
