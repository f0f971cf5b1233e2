// Where an export's records go: one main output folder per active design file under
// C:\Temp, and inside it one element folder per exported element.
#pragma once

#include "host/dgn_model.h"
#include "host/element_handle.h"
#include "host/host_types.h"
#include "host/wstring.h"

struct RecordFolder;

// Makes the main output folder C:\Temp\<stem> for the active design file, where the stem is
// the file's name without directory and extension, less one ".i" suffix (any case), made
// safe as makeFolderNameSafe makes it. Whatever
// an earlier export left there is removed first; a missing C:\Temp is made along with it.
// Returns 0 and the path in mainFolder, or a non-zero status with mainFolder emptied. A stem
// that is empty, "." or ".." would name C:\Temp or a folder above it: that is refused with a
// non-zero status before anything on disk is touched.
int createMainFolder(WString& mainFolder);
// The path that createMainFolder makes, named the same way, with nothing on disk touched: 0
// and the path, or createMainFolder's refusal with mainFolder emptied.
int nameMainFolder(WString& mainFolder);

// Makes the element folder <mainFolder>\<file name and extension> - <model name> - <id> for the
// element's model and its design file, after removing whatever an earlier element left at that
// path. In the folder name "<" becomes "(", ">" becomes ")", and every other character that
// folder names can't hold (: " / \ | ? * and characters below U+0020) becomes "_", so the
// folder always lies directly inside the main output folder. A name that Windows keeps for a
// device (see makeFolderNameSafe) gets a "_" after the device's name, on every platform, so
// that one design gives one folder tree everywhere. elementFolder receives the path
// in any case; the result is the creation's status, 0 for success. An absent or empty
// mainFolder, or an element without a model, gives a non-zero status and touches nothing.
int createElementFolder(WString& elementFolder, WCharCP mainFolder, ElementHandleCR element);

// Makes a folder name that Windows can create, the same on every platform: a name whose part
// before its first "." (less trailing blanks) is one that Windows keeps for a device (CON,
// PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in any case) gets a "_" after that part
// ("CON" -> "CON_", "nul.dgn - M - 5" -> "nul_.dgn - M - 5"), and each "." or blank that
// ends the name becomes "_", as Windows would drop them.
void makeFolderNameSafe(WString& name);

// The element code: the part of the element folder path after its last backslash (the whole
// path when it has none), as UTF-8 (see assignUtf8), kept whole however long it is.
void getElementCode(WCharCP elementFolderPath, AString& code);

// Makes the element folder at path, a path that createElementFolder or ModelFolderNamer gave,
// after removing whatever an earlier element left there. Returns the creation's status, 0 for
// success.
int makeElementFolder(const WString& path);
// Makes the element folder at path as a new folder, for an export whose main output folder
// was made empty: a folder already there was made by an earlier element of the same export,
// under a name that the file system takes for the same (on Windows "Walls" and "walls"), and
// is left as it is. Returns Made, Taken for a folder (or anything) already there, or Failed.
enum class NewFolder { Made, Taken, Failed };
NewFolder makeNewElementFolder(const WString& path);

// The element folders of one model's elements inside one main output folder, named as
// createElementFolder names them. The part of the name that the model and its file give is
// made once, so that each element adds only its id: an export of many elements does not
// rebuild, convert and search the same text for every one. The model must outlive the namer.
class ModelFolderNamer {
 public:
  ModelFolderNamer(const WString& mainFolder, const DgnModel& model);

  // Fills folder (whose buffers are reused from element to element) with the path, element
  // code and quoted code of the folder of the element with that id: the same
  // path that createElementFolder gives, the code that getElementCode gives of it.
  void Name(ElementId id, RecordFolder& folder) const;

  // The part of every folder name that the model gives, the same for all of its elements.
  const WString& NamePrefix() const { return m_namePrefix; }

 private:
  WString m_namePrefix;            // "<file name and extension> - <model name> - ", made safe
  WString m_pathPrefix;            // <main output folder>\<name prefix>
  AString m_codePrefix;            // the name prefix as UTF-8
  std::string m_quotedCodePrefix;  // the code prefix as the records write it, less its end quote
};
