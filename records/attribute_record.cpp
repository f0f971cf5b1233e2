#include "records/attribute_record.h"

#include <json/json.h>

#include "host/ec_instances.h"
#include "records/base.h"

namespace {

// The instances found for the element: host type 1 (the element itself) with its public
// children, and the query flags 6 (all classes, extrinsic instances included).
constexpr int kElementHostType = 1;
constexpr int kQueryFlags = 6;

// Sets one member per property of the instance that holds a value, keyed by the property's
// display label; a later property of the same label replaces an earlier one.
void readProperties(Json::Value& properties, const IECInstance& instance) {
  for (const ECProperty* property : instance.GetClass().GetProperties()) {
    ECValue value;
    instance.GetValue(value, property->GetName().c_str());
    if (value.IsNull()) continue;
    properties[localeText(property->GetDisplayLabel().c_str())] =
        Json::Value(localeText(value.ToString().c_str()));
  }
}

// The class map of the element: null when it has no instance. One property object serves
// every instance; clearing it keeps its kind, so an instance without values is stored as
// null until some instance has stored a value, and as an empty object after that.
Json::Value classMap(ElementHandleCR element) {
  FindInstancesScopeOption option(static_cast<DgnECHostType>(kElementHostType), true);
  FindInstancesScopePtr scope = FindInstancesScope::CreateScope(element, option);
  ECQueryPtr query = ECQuery::CreateQuery(static_cast<ECQueryProcessFlags>(kQueryFlags));
  DgnECInstanceIterable instances =
      DgnECManager::GetManager().FindInstances(*scope, *query, nullptr);

  Json::Value classes;
  Json::Value properties;
  for (auto it = instances.begin(); it != instances.end(); ++it) {
    DgnECInstancePtr instance = *it;
    AString classLabel = localeText(instance->GetClass().GetDisplayLabel().c_str());
    properties.clear();
    readProperties(properties, *instance);
    classes[classLabel] = properties;
  }
  return classes;
}

}  // namespace

void writeAttributeRecord(const WString& elementFolder, ElementHandleCR element) {
  Json::Value document;
  startRecord(document, "orvelAttributes", elementFolder);
  document["attribute"] = classMap(element);

  writeRecordFile(elementFolder, L"attr.json", document);
}
