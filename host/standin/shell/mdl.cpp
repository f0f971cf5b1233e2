#include "host/mdl.h"

#include <cwchar>
#include <string>
#include <vector>

#include "host/wstring.h"
#include "standin/shell/keyin_table.h"
#include "standin/shell/message_window.h"
#include "standin/shell/session.h"

StatusInt mdlSystem_registerCommandNumbers(MdlCommandNumber* commandNumbers) {
  if (!commandNumbers) return ERROR;
  host::Session::Current().RegisterCommands(commandNumbers);
  return SUCCESS;
}

StatusInt mdlParse_loadCommandTable(void* /*resourceFile*/) {
  host::Session& session = host::Session::Current();
  const std::string& library = session.LoadingApplication();
  if (library.empty()) {
    session.Note("no application is loading: there is no key-in table to load");
    return ERROR;
  }
  std::vector<host::KeyinEntry> entries;
  std::string error;
  if (!host::LoadKeyinTable(host::KeyinTablePathFor(library), &entries, &error)) {
    session.Note(error);
    return ERROR;
  }
  session.SetKeyinTable(std::move(entries));
  return SUCCESS;
}

// The window shows one line per message: control characters are escaped.
void mdlDialog_dmsgsPrintA(const char* text) {
  host::Session::Current().Message(host::ShownMessage(text ? text : ""));
}

DgnModelRefP mdlModelRef_getActive() { return ISessionMgr::GetActiveDgnModelRefP(); }

StatusInt mdlCnv_convertUnicodeToMultibyte(WCharCP in, int length, char* out, int outSize) {
  if (!out || outSize <= 0) return ERROR;
  if (!in) {
    out[0] = '\0';
    return SUCCESS;
  }
  // A length shorter than the text takes only its first characters.
  std::wstring text = length < 0 ? std::wstring(in) : std::wstring(in, wcsnlen(in, length));
  BeStringUtilities::WCharToCurrentLocaleChar(out, text.c_str(), static_cast<size_t>(outSize));
  return SUCCESS;
}
