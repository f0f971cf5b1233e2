// Folders of the host: a moniker names a folder by its full Windows path, a folder is a
// moniker that was found on disk, and a folder lists its immediate sub-folders.
#pragma once

#include <vector>

#include "host/host_types.h"
#include "host/ref_counted.h"
#include "host/wstring.h"

class DgnFolderMoniker;
class DgnFolderMonikerList;
class DgnFolder;
using DgnFolderMonikerPtr = RefCountedPtr<DgnFolderMoniker>;
using DgnFolderMonikerListPtr = RefCountedPtr<DgnFolderMonikerList>;
using DgnFolderPtr = RefCountedPtr<DgnFolder>;

class DgnBaseMoniker : public RefCountedBase {
 public:
  // The full Windows path ("C:\Temp\Site\"), "." and ".." resolved, ending with exactly one
  // backslash, so that a file name can be appended directly.
  WString GetPortableName() const { return m_portableName; }

 protected:
  explicit DgnBaseMoniker(WString portableName) : m_portableName(std::move(portableName)) {}

 private:
  WString m_portableName;
};

class DgnFolderMoniker : public DgnBaseMoniker {
 public:
  // A moniker for the folder called name: a Windows path with a drive, a local path
  // ("/home/ann/out", seen as its Z: form), or a relative name taken from searchPath (null:
  // the working folder). Null for a null or empty name. The folder need not exist.
  static DgnFolderMonikerPtr CreateFromFolderName(WCharCP name, WCharCP searchPath);

 private:
  friend class DgnFolder;
  explicit DgnFolderMoniker(WString portableName) : DgnBaseMoniker(std::move(portableName)) {}
};

// The monikers of a folder's sub-folders, in the order the folder listed them.
class DgnFolderMonikerList : public RefCountedBase {
 public:
  using const_iterator = std::vector<DgnFolderMonikerPtr>::const_iterator;
  const_iterator begin() const { return m_monikers.begin(); }
  const_iterator end() const { return m_monikers.end(); }
  size_t size() const { return m_monikers.size(); }
  bool empty() const { return m_monikers.empty(); }

 private:
  friend class DgnFolder;
  std::vector<DgnFolderMonikerPtr> m_monikers;
};

class DgnFolder : public RefCountedBase {
 public:
  // The folder that moniker names. Succeeds (status 0, non-null folder) only when the path
  // is on a mapped drive and is an existing folder; otherwise status is non-zero and the
  // result null.
  static DgnFolderPtr CreateFromMoniker(StatusInt& status, DgnFolderMoniker& moniker);

  // The folder's immediate sub-folders (never deeper), sorted by the bytes of their UTF-8
  // names; with a filter, only those whose name matches it ("*" any run of characters, "?"
  // one character, case-sensitive). Null filter or "" lists them all. Null when the folder
  // can't be read.
  DgnFolderMonikerListPtr GetSubFolders(WCharCP filter) const;

  WString GetPortableName() const { return m_moniker->GetPortableName(); }

 private:
  explicit DgnFolder(DgnFolderMonikerPtr moniker) : m_moniker(std::move(moniker)) {}
  DgnFolderMonikerPtr m_moniker;
};
