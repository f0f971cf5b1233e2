#include "import/geo_scanner.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "import/geo_tokens.h"

namespace {

using geo_tokens::Number;
using geo_tokens::Tok;
using geo_tokens::Token;

// Json::Reader raises an exception when it starts a value inside this many containers.
constexpr int kNestingLimit = 1000;

// Where a value goes: nowhere (only checked), the record's root, one of its lists, or an
// entry of one of its lists.
struct Target {
  enum class Kind { Ignore, Root, Member, Entry } kind = Kind::Ignore;
  GeoRecord* record = nullptr;
  GeoList* list = nullptr;
  bool indexes = false;  // the list keeps indexes rather than values
};

void makeOther(GeoList* list) {
  list->kind = GeoList::Kind::Other;
  list->size = 0;
  list->values.clear();
  list->indexes.clear();
  list->indexesFit = true;
}

void startNumbers(GeoList* list) {
  makeOther(list);
  list->kind = GeoList::Kind::Numbers;
}

void push(const Target& target, double value, int32_t index, bool fits) {
  GeoList* list = target.list;
  if (list->kind != GeoList::Kind::Numbers) return;
  ++list->size;
  if (target.indexes) {
    list->indexes.push_back(fits ? index : 0);
    list->indexesFit = list->indexesFit && fits;
  } else {
    list->values.push_back(value);
  }
}

// The double Json::Reader's document gives an unsigned integer: made from its upper bits
// and then its lowest, so that beyond 2^53 it can lie one step from the correctly rounded
// double (50196078431372549 gives ...544, not ...552). The import reads what the reader reads.
double readerDoubleOf(uint64_t value) {
  return static_cast<double>(static_cast<int64_t>(value / 2)) * 2.0 +
         static_cast<double>(static_cast<int64_t>(value & 1));
}

void pushNumber(const Target& target, const Number& number) {
  switch (number.kind) {
    case Number::Kind::Int: {
      bool fits = number.i >= std::numeric_limits<int32_t>::min() &&
                  number.i <= std::numeric_limits<int32_t>::max();
      push(target, static_cast<double>(number.i), static_cast<int32_t>(number.i), fits);
      return;
    }
    case Number::Kind::UInt:  // above the 32-bit range whenever the kind is UInt
      push(target, readerDoubleOf(number.u), 0, false);
      return;
    case Number::Kind::Real: {
      double truncated = std::trunc(number.d);
      bool fits = truncated >= std::numeric_limits<int32_t>::min() &&
                  truncated <= std::numeric_limits<int32_t>::max();
      push(target, number.d, fits ? static_cast<int32_t>(truncated) : 0, fits);
      return;
    }
  }
}

// The grammar of Json::Reader with its default features, quirks included, but every value
// goes to its target instead of a document. The first error ends the reading (Json::Reader
// then only skips tokens, and its result is already false).
class Scanner {
 public:
  explicit Scanner(std::string_view text) : tokens_(text) {}

  GeoParse Scan(GeoRecord* record) {
    *record = GeoRecord();
    Target root;
    root.kind = Target::Kind::Root;
    root.record = record;
    // What follows the root is read by Json::Reader as comments or one token, never judged.
    return readValue(0, root) ? GeoParse::Parsed : status_;
  }

 private:
  bool fail(GeoParse status) {
    status_ = status;
    return false;
  }

  bool decodeNumber(const Token& token, Number* number) {
    switch (geo_tokens::decodeNumber(token, number)) {
      case geo_tokens::Decoded::Ok:
        return true;
      case geo_tokens::Decoded::Refused:
        return fail(GeoParse::Refused);
      case geo_tokens::Decoded::Unsure:
        return fail(GeoParse::Unsure);
    }
    return fail(GeoParse::Unsure);
  }

  bool readValue(int depth, const Target& target);
  bool readObject(int depth, GeoRecord* record);
  bool readArray(int depth, const Target& entries, bool* nonEmpty);
  bool readEntry(int depth, const Target& entries);

  geo_tokens::Tokenizer tokens_;
  GeoParse status_ = GeoParse::Refused;
};

bool Scanner::readValue(int depth, const Target& target) {
  if (depth >= kNestingLimit) return fail(GeoParse::TooDeep);
  Token token;
  tokens_.skipCommentTokens(token);
  const bool entry = target.kind == Target::Kind::Entry;
  const bool member = target.kind == Target::Kind::Member;
  switch (token.type) {
    case Tok::ObjectBegin:
      if (entry || member) makeOther(target.list);
      return readObject(depth, target.kind == Target::Kind::Root ? target.record : nullptr);
    case Tok::ArrayBegin: {
      Target entries;
      if (member) {
        startNumbers(target.list);
        entries = target;
        entries.kind = Target::Kind::Entry;
      } else if (entry) {
        makeOther(target.list);
      }
      bool nonEmpty = false;
      if (!readArray(depth, entries, &nonEmpty)) return false;
      if (target.kind == Target::Kind::Root && nonEmpty)
        target.record->root = GeoRecord::Root::NotObject;
      return true;
    }
    case Tok::Number: {
      Number number;
      if (!decodeNumber(token, &number)) return false;
      if (entry) pushNumber(target, number);
      if (member) makeOther(target.list);
      return true;
    }
    case Tok::String:
      if (!geo_tokens::decodeString(token, nullptr)) return fail(GeoParse::Refused);
      if (entry || member) makeOther(target.list);
      return true;
    case Tok::True:
    case Tok::False:
    case Tok::Null: {
      if (entry) push(target, token.type == Tok::True ? 1.0 : 0.0, token.type == Tok::True, true);
      if (member) {
        makeOther(target.list);
        if (token.type == Tok::Null) target.list->kind = GeoList::Kind::Null;
      }
      return true;
    }
    default:
      return fail(GeoParse::Refused);
  }
}

bool Scanner::readObject(int depth, GeoRecord* record) {
  Token name;
  bool nameEmpty = true;  // the previous member's name, as Json::Reader keeps it
  std::string key;
  while (tokens_.readToken(name)) {
    bool ok = true;
    while (name.type == Tok::Comment && ok) ok = tokens_.readToken(name);
    if (!ok) break;
    if (name.type == Tok::ObjectEnd && nameEmpty) return true;  // {} or {"":1,}
    if (name.type != Tok::String) break;
    nameEmpty = name.end - name.start == 2;  // every escape decodes to at least one byte
    if (!geo_tokens::decodeString(name, record ? &key : nullptr)) return fail(GeoParse::Refused);
    Token colon;
    if (!tokens_.readToken(colon) || colon.type != Tok::MemberSeparator)
      return fail(GeoParse::Refused);
    Target value;
    if (record) {
      record->root = GeoRecord::Root::Object;
      value.kind = Target::Kind::Member;
      value.record = record;
      if (key == "colors") value.list = &record->colors;
      if (key == "positions") value.list = &record->positions;
      if (key == "indices") value.list = &record->indices, value.indexes = true;
      if (!value.list) value.kind = Target::Kind::Ignore;
    }
    if (!readValue(depth + 1, value)) return false;
    Token comma;
    if (!tokens_.readToken(comma) ||
        (comma.type != Tok::ObjectEnd && comma.type != Tok::ArraySeparator &&
         comma.type != Tok::Comment)) {
      return fail(GeoParse::Refused);
    }
    // After a comment, whatever single token follows stands in for the comma.
    bool commaOk = true;
    while (comma.type == Tok::Comment && commaOk) commaOk = tokens_.readToken(comma);
    if (comma.type == Tok::ObjectEnd) return true;
  }
  return fail(GeoParse::Refused);
}

bool Scanner::readArray(int depth, const Target& entries, bool* nonEmpty) {
  tokens_.skipSpaces();
  if (tokens_.take(']')) return true;  // only spaces may stand in an empty array
  *nonEmpty = true;
  for (;;) {
    if (!readEntry(depth + 1, entries)) return false;
    tokens_.skipSpaces();  // the common separators first, as readToken would read them
    if (tokens_.take(',')) continue;
    if (tokens_.take(']')) return true;
    Token token;
    bool ok = tokens_.readToken(token);
    while (token.type == Tok::Comment && ok) ok = tokens_.readToken(token);
    if (!ok || (token.type != Tok::ArraySeparator && token.type != Tok::ArrayEnd))
      return fail(GeoParse::Refused);
    if (token.type == Tok::ArrayEnd) return true;
  }
}

// An entry of a list: a number is read straight away, as readValue would read it; anything
// else goes through readValue.
bool Scanner::readEntry(int depth, const Target& entries) {
  if (entries.kind != Target::Kind::Entry || depth >= kNestingLimit)
    return readValue(depth, entries);
  tokens_.skipSpaces();
  if (!tokens_.atNumber()) return readValue(depth, entries);
  Number number;
  if (!decodeNumber(tokens_.readNumberToken(), &number)) return false;
  pushNumber(entries, number);
  return true;
}

}  // namespace

GeoParse scanGeoRecord(std::string_view text, GeoRecord* record) {
  return Scanner(text).Scan(record);
}
