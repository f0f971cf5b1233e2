#include "host/ec_instances.h"

#include <charconv>
#include <string>
#include <string_view>

#include "standin/design/design.h"
#include "standin/design/inside_access.h"

namespace {

// The shortest text that reads back as the same double.
std::wstring realText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::wstring(buffer, result.ptr);
}

// The decimal text of an integer, as std::to_wstring gives it but without a formatted print.
std::wstring integerText(int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::wstring(buffer, result.ptr);
}

WString wide(const std::string& utf8) { return BeStringUtilities::Utf8ToWChar(utf8.c_str()); }

std::shared_ptr<const ECClass> makeClass(const host::ClassDef& definition) {
  std::vector<ECProperty> properties;
  properties.reserve(definition.properties.size());
  for (const host::PropertyDef& property : definition.properties)
    properties.emplace_back(wide(property.name), wide(property.label));
  return std::make_shared<const ECClass>(wide(definition.name), wide(definition.label),
                                         std::move(properties));
}

ECValue makeValue(const host::PropertyValue& value) {
  struct Visitor {
    ECValue operator()(const std::string& text) const { return ECValue(wide(text).c_str()); }
    ECValue operator()(int64_t number) const { return ECValue(number); }
    ECValue operator()(double number) const { return ECValue(number); }
    ECValue operator()(bool flag) const { return ECValue(flag); }
    ECValue operator()(const DPoint3d& point) const { return ECValue(point); }
  };
  return std::visit(Visitor(), value);
}

// The class object of a class of design: made once, then shared. Classes are only ever
// appended to a design, so a class keeps its position.
std::shared_ptr<const ECClass> classObject(const host::DesignFile& design,
                                           const host::ClassDef& definition) {
  auto& objects = design.ecClasses;
  if (objects.size() < design.classes.size()) objects.resize(design.classes.size());
  auto& object = objects[static_cast<size_t>(&definition - design.classes.data())];
  if (!object) object = makeClass(definition);
  return object;
}

// The wide name of a value's property: the class object's own text of it, made from the same
// definition in the same order, so that it is not converted again; converted when the class
// has no such property.
WString propertyName(const ECClass& object, const host::ClassDef& definition,
                     const std::string& name) {
  auto it = object.GetProperties().begin();
  const auto end = object.GetProperties().end();
  for (const host::PropertyDef& property : definition.properties) {
    if (it == end) break;
    if (property.name == name) return (*it)->GetName();
    ++it;
  }
  return wide(name);
}

}  // namespace

WString ECValue::ToString() const {
  struct Visitor {
    std::wstring operator()(std::monostate) const { return std::wstring(); }
    std::wstring operator()(const WString& text) const { return text; }
    std::wstring operator()(int64_t number) const { return integerText(number); }
    std::wstring operator()(double number) const { return realText(number); }
    std::wstring operator()(bool flag) const { return flag ? L"True" : L"False"; }
    std::wstring operator()(const DPoint3d& point) const {
      return realText(point.x) + L"," + realText(point.y) + L"," + realText(point.z);
    }
  };
  return WString(std::visit(Visitor(), m_value));
}

// A name given as a property's own text (as a caller that walks the class's properties gives
// it) is found by its address alone; any other by its characters.
const ECProperty* ECClass::GetPropertyP(WCharCP name) const {
  if (!name) return nullptr;
  for (const ECProperty& property : m_properties)
    if (property.GetName().c_str() == name) return &property;
  const std::wstring_view text(name);
  for (const ECProperty& property : m_properties)
    if (property.GetName() == text) return &property;
  return nullptr;
}

ECObjectsStatus DgnECInstance::GetValue(ECValue& value, WCharCP accessString) const {
  value.SetToNull();
  const ECProperty* property = m_class->GetPropertyP(accessString);
  if (!property) return ECObjectsStatus::PropertyNotFound;
  auto found = m_values.find(property->GetName());  // the same text, without a copy of it
  if (found != m_values.end()) value = found->second;
  return ECObjectsStatus::Success;
}

FindInstancesScopePtr FindInstancesScope::CreateScope(ElementHandleCR element,
                                                      const FindInstancesScopeOption&) {
  const host::Element* impl = host::Inside::ElementOf(element);
  DgnModelP model = element.GetDgnModelP();
  const host::DesignFile* design = model ? &host::Inside::DesignOf(*model->GetDgnFileP()) : nullptr;
  return FindInstancesScopePtr(new FindInstancesScope(impl, design));
}

ECQueryPtr ECQuery::CreateQuery(ECQueryProcessFlags flags) {
  return ECQueryPtr(new ECQuery(flags));
}

DgnECManager& DgnECManager::GetManager() {
  static DgnECManager manager;
  return manager;
}

DgnECInstanceIterable DgnECManager::FindInstances(FindInstancesScope& scope, const ECQuery&,
                                                  unsigned* count) {
  std::vector<DgnECInstancePtr> instances;
  const host::Element* element = host::Inside::ElementOf(scope);
  const host::DesignFile* design = host::Inside::DesignOf(scope);
  if (element && design) {
    // Instances of one class share one class object.
    for (const host::Instance& instance : element->instances) {
      const host::ClassDef* definition = design->FindClass(instance.className);
      if (!definition) continue;
      std::shared_ptr<const ECClass> object = classObject(*design, *definition);
      std::map<WString, ECValue> values;
      for (const auto& [name, value] : instance.values)
        values.insert_or_assign(values.end(), propertyName(*object, *definition, name),
                                makeValue(value));
      instances.emplace_back(new DgnECInstance(std::move(object), std::move(values)));
    }
  }
  if (count) *count = static_cast<unsigned>(instances.size());
  return DgnECInstanceIterable(std::move(instances));
}
