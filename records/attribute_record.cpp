#include "records/attribute_record.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/symbols.h"
#include "host/ec_instances.h"
#include "records/base.h"
#include "records/output_folders.h"
#include "records/record_text_writer.h"

namespace {

// The instances found for the element: host type 1 (the element itself) with its public
// children, and the query flags 6 (all classes, extrinsic instances included).
constexpr int kElementHostType = 1;
constexpr int kQueryFlags = 6;

// A text of the record: its place in the element's text store.
struct Span {
  size_t begin;
  size_t size;
};

struct Member {
  Span label;  // the property's display label
  Span value;  // the value's text
};

// The values of one class label, as the record writes them: members[first, end).
struct ClassValues {
  Span label;
  bool isNull;
  size_t first;
  size_t end;
};

// What the record of one element is made of: its texts as UTF-8 in one store, its
// classes and their members. Each thread keeps one, emptied for every element, so that its
// room serves them all.
struct AttributeTexts {
  std::string store;
  AString converted;  // the last text converted, before it joins the store
  std::vector<Member> members;
  std::vector<ClassValues> classes;

  void Clear() {
    store.clear();
    members.clear();
    classes.clear();
  }
  Span Add(WCharCP wide) {
    assignUtf8(converted, wide);
    const Span span{store.size(), converted.size()};
    store.append(converted);
    return span;
  }
  std::string_view Text(Span span) const {
    return std::string_view(store).substr(span.begin, span.size);
  }
};

TOLVANE_NOINLINE AttributeTexts& attributeTexts() {
  thread_local AttributeTexts texts;
  return texts;
}

// Orders entries[first, end) by key (bytes compared unsigned, a prefix first) and keeps, of
// entries with the same key, the one given last: the later one replaces the earlier, so the
// sort keeps equal keys in their order. Returns the end of the kept entries.
template <typename Entry, typename KeyOf>
size_t keepLastByKey(std::vector<Entry>& entries, size_t first, size_t end, KeyOf keyOf) {
  const auto begin = entries.begin() + static_cast<ptrdiff_t>(first);
  const auto stop = entries.begin() + static_cast<ptrdiff_t>(end);
  std::stable_sort(begin, stop,
                   [&](const Entry& a, const Entry& b) { return keyOf(a) < keyOf(b); });
  auto kept = begin;
  for (auto it = begin; it != stop; ++it) {
    if (std::next(it) != stop && keyOf(*std::next(it)) == keyOf(*it)) continue;
    *kept++ = *it;
  }
  return static_cast<size_t>(kept - entries.begin());
}

// One member per property of the instance that holds a value, keyed by its display label,
// added to texts.members; true when there is any.
bool addPropertyValues(const IECInstance& instance, AttributeTexts& texts) {
  const size_t first = texts.members.size();
  ECValue value;
  for (const ECProperty* property : instance.GetClass().GetProperties()) {
    instance.GetValue(value, property->GetName().c_str());
    if (value.IsNull()) continue;
    const Span label = texts.Add(property->GetDisplayLabel().c_str());
    texts.members.push_back(Member{label, texts.Add(value.ToString().c_str())});
  }
  const size_t end = keepLastByKey(texts.members, first, texts.members.size(),
                                   [&](const Member& m) { return texts.Text(m.label); });
  texts.members.resize(end);
  return end != first;
}

// The classes of the element's instances, by display label, into texts. An instance without
// values is null until some instance of the element has had a value, and an empty object
// after that: the record has always been written so. False when the element has no instance.
bool addClassValues(ElementHandleCR element, AttributeTexts& texts) {
  FindInstancesScopeOption option(static_cast<DgnECHostType>(kElementHostType), true);
  FindInstancesScopePtr scope = FindInstancesScope::CreateScope(element, option);
  ECQueryPtr query = ECQuery::CreateQuery(static_cast<ECQueryProcessFlags>(kQueryFlags));
  DgnECInstanceIterable instances =
      DgnECManager::GetManager().FindInstances(*scope, *query, nullptr);

  bool anyValue = false;
  for (auto it = instances.begin(); it != instances.end(); ++it) {
    const DgnECInstance& instance = **it;
    const Span label = texts.Add(instance.GetClass().GetDisplayLabel().c_str());
    const size_t first = texts.members.size();
    const bool hasValues = addPropertyValues(instance, texts);
    texts.classes.push_back(
        ClassValues{label, !hasValues && !anyValue, first, texts.members.size()});
    anyValue = anyValue || hasValues;
  }
  texts.classes.resize(keepLastByKey(texts.classes, 0, texts.classes.size(),
                                     [&](const ClassValues& c) { return texts.Text(c.label); }));
  return !instances.empty();
}

void writeClasses(RecordTextWriter& writer, const AttributeTexts& texts) {
  writer.BeginObject();
  for (const ClassValues& values : texts.classes) {
    writer.Key(texts.Text(values.label));
    if (values.isNull) {
      writer.Null();
      continue;
    }
    writer.BeginObject();
    for (size_t i = values.first; i < values.end; ++i) {
      writer.Key(texts.Text(texts.members[i].label));
      writer.String(texts.Text(texts.members[i].value));
    }
    writer.EndObject();
  }
  writer.EndObject();
}

}  // namespace

std::string_view attributeRecordText(std::string& buffer, const RecordFolder& folder,
                                     ElementHandleCR element) {
  AttributeTexts& texts = attributeTexts();
  texts.Clear();
  const bool anyInstance = addClassValues(element, texts);

  RecordTextWriter writer(buffer);
  writer.BeginObject();  // members in the order of their keys' bytes
  writer.Key("attribute");
  anyInstance ? writeClasses(writer, texts) : writer.Null();
  writer.Key("avoclass");
  writer.String("orvelAttributes");
  writer.Key("code");
  writer.String(RecordTextWriter::Text::Quoted(folder.quotedCode));
  writer.EndObject();
  return writer.Finish();
}
