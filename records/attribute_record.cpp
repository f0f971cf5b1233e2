#include "records/attribute_record.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "host/ec_instances.h"
#include "records/base.h"
#include "records/output_folders.h"
#include "records/record_text_writer.h"

namespace {

// The instances found for the element: host type 1 (the element itself) with its public
// children, and the query flags 6 (all classes, extrinsic instances included).
constexpr int kElementHostType = 1;
constexpr int kQueryFlags = 6;

using Member = std::pair<std::string, std::string>;  // display label, value text

// The values of one class label, as the record writes them.
struct ClassValues {
  std::string label;
  bool isNull = false;
  std::vector<Member> properties;
};

// Orders entries by key (bytes compared unsigned, a prefix first) and keeps, of entries with
// the same key, the one given last: the later one replaces the earlier.
template <typename Entry, typename KeyOf>
void keepLastByKey(std::vector<Entry>& entries, KeyOf keyOf) {
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const Entry& a, const Entry& b) { return keyOf(a) < keyOf(b); });
  auto kept = entries.begin();
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (std::next(it) != entries.end() && keyOf(*std::next(it)) == keyOf(*it)) continue;
    if (kept != it) *kept = std::move(*it);
    ++kept;
  }
  entries.erase(kept, entries.end());
}

// One member per property of the instance that holds a value, keyed by its display label.
std::vector<Member> propertyValues(const IECInstance& instance) {
  std::vector<Member> members;
  for (const ECProperty* property : instance.GetClass().GetProperties()) {
    ECValue value;
    instance.GetValue(value, property->GetName().c_str());
    if (value.IsNull()) continue;
    members.emplace_back(localeText(property->GetDisplayLabel().c_str()),
                         localeText(value.ToString().c_str()));
  }
  keepLastByKey(members, [](const Member& m) -> const std::string& { return m.first; });
  return members;
}

// The classes of the element's instances, by display label. An instance without values is
// null until some instance of the element has had a value, and an empty object after that:
// the record has always been written so.
std::vector<ClassValues> classValues(ElementHandleCR element, bool& anyInstance) {
  FindInstancesScopeOption option(static_cast<DgnECHostType>(kElementHostType), true);
  FindInstancesScopePtr scope = FindInstancesScope::CreateScope(element, option);
  ECQueryPtr query = ECQuery::CreateQuery(static_cast<ECQueryProcessFlags>(kQueryFlags));
  DgnECInstanceIterable instances =
      DgnECManager::GetManager().FindInstances(*scope, *query, nullptr);

  std::vector<ClassValues> classes;
  bool anyValue = false;
  anyInstance = false;
  for (auto it = instances.begin(); it != instances.end(); ++it) {
    anyInstance = true;
    DgnECInstancePtr instance = *it;
    ClassValues values;
    values.label = localeText(instance->GetClass().GetDisplayLabel().c_str());
    values.properties = propertyValues(*instance);
    values.isNull = values.properties.empty() && !anyValue;
    anyValue = anyValue || !values.properties.empty();
    classes.push_back(std::move(values));
  }
  keepLastByKey(classes, [](const ClassValues& c) -> const std::string& { return c.label; });
  return classes;
}

void writeClasses(RecordTextWriter& writer, const std::vector<ClassValues>& classes) {
  writer.BeginObject();
  for (const ClassValues& values : classes) {
    writer.Key(values.label);
    if (values.isNull) {
      writer.Null();
      continue;
    }
    writer.BeginObject();
    for (const Member& member : values.properties) {
      writer.Key(member.first);
      writer.String(member.second);
    }
    writer.EndObject();
  }
  writer.EndObject();
}

}  // namespace

void writeAttributeRecord(const WString& elementFolder, ElementHandleCR element) {
  writeAttributeRecord(RecordFolder(elementFolder), element);
}

void writeAttributeRecord(const RecordFolder& folder, ElementHandleCR element) {
  bool anyInstance = false;
  const std::vector<ClassValues> classes = classValues(element, anyInstance);

  ScratchText buffer;
  RecordTextWriter writer(buffer.Text());
  writer.BeginObject();  // members in the order of their keys' bytes
  writer.Key("attribute");
  anyInstance ? writeClasses(writer, classes) : writer.Null();
  writer.Key("avoclass");
  writer.String("orvelAttributes");
  writer.Key("code");
  writer.String(RecordTextWriter::Text::Quoted(folder.quotedCode));
  writer.EndObject();
  writeRecordText(folder, "attr.json", writer.Finish());
}
