// Business properties of elements: the property classes of a design file and the property
// instances that elements carry, found through the EC manager.
#pragma once

#include <map>
#include <memory>
#include <variant>
#include <vector>

#include "host/element_handle.h"
#include "host/geometry.h"
#include "host/host_types.h"
#include "host/ref_counted.h"
#include "host/wstring.h"

namespace host {
struct DesignFile;
struct Element;
struct Inside;
}  // namespace host

enum class ECObjectsStatus : int {
  Success = 0,
  PropertyNotFound = 1,
};

// A property value: null, text, integer, real, boolean or point.
class ECValue {
 public:
  ECValue() = default;  // null
  explicit ECValue(WCharCP text) : m_value(WString(text ? text : L"")) {}
  explicit ECValue(int64_t value) : m_value(value) {}
  explicit ECValue(double value) : m_value(value) {}
  explicit ECValue(bool value) : m_value(value) {}
  explicit ECValue(const DPoint3d& value) : m_value(value) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(m_value); }
  void SetToNull() { m_value = std::monostate(); }

  // The value as text: a string as it is; an integer in decimal; a real as the shortest
  // text that reads back the same; a boolean as True or False; a point as x,y,z with each
  // coordinate as a real; the empty text for null.
  WString ToString() const;

 private:
  std::variant<std::monostate, WString, int64_t, double, bool, DPoint3d> m_value;
};

class ECProperty {
 public:
  ECProperty(WString name, WString displayLabel)
      : m_name(std::move(name)), m_displayLabel(std::move(displayLabel)) {}
  // The name by which instances hold the property's value.
  const WString& GetName() const { return m_name; }
  // May be empty, and may be shared with other properties of the class.
  const WString& GetDisplayLabel() const { return m_displayLabel; }

 private:
  WString m_name;
  WString m_displayLabel;
};

// The properties of a class in their order; dereferencing an iterator gives a property
// pointer that lives as long as the class.
class ECPropertyIterable {
 public:
  class const_iterator {
   public:
    explicit const_iterator(std::vector<ECProperty>::const_iterator at) : m_at(at) {}
    const ECProperty* operator*() const { return &*m_at; }
    const_iterator& operator++() {
      ++m_at;
      return *this;
    }
    bool operator!=(const const_iterator& other) const { return m_at != other.m_at; }
    bool operator==(const const_iterator& other) const { return m_at == other.m_at; }

   private:
    std::vector<ECProperty>::const_iterator m_at;
  };

  explicit ECPropertyIterable(const std::vector<ECProperty>& properties)
      : m_properties(properties) {}
  const_iterator begin() const { return const_iterator(m_properties.begin()); }
  const_iterator end() const { return const_iterator(m_properties.end()); }

 private:
  const std::vector<ECProperty>& m_properties;
};

class ECClass {
 public:
  ECClass(WString name, WString displayLabel, std::vector<ECProperty> properties)
      : m_name(std::move(name)),
        m_displayLabel(std::move(displayLabel)),
        m_properties(std::move(properties)) {}
  const WString& GetName() const { return m_name; }
  // May be empty, and may be shared with other classes of the file.
  const WString& GetDisplayLabel() const { return m_displayLabel; }
  ECPropertyIterable GetProperties() const { return ECPropertyIterable(m_properties); }
  // The class's property of that name, or null.
  const ECProperty* GetPropertyP(WCharCP name) const;

 private:
  WString m_name;
  WString m_displayLabel;
  std::vector<ECProperty> m_properties;
};

class IECInstance : public RefCountedBase {
 public:
  virtual const ECClass& GetClass() const = 0;
  // Fills value with the instance's value of the property named accessString: null when
  // the instance holds none (Success), or when the class has no such property
  // (PropertyNotFound).
  virtual ECObjectsStatus GetValue(ECValue& value, WCharCP accessString) const = 0;
};

// One property instance of an element. It owns copies of its values and shares its class
// with the other instances of one search, so it stays usable after the design changes.
class DgnECInstance : public IECInstance {
 public:
  DgnECInstance(std::shared_ptr<const ECClass> ecClass, std::map<WString, ECValue> values)
      : m_class(std::move(ecClass)), m_values(std::move(values)) {}
  const ECClass& GetClass() const override { return *m_class; }
  ECObjectsStatus GetValue(ECValue& value, WCharCP accessString) const override;

 private:
  std::shared_ptr<const ECClass> m_class;
  std::map<WString, ECValue> m_values;
};
using DgnECInstancePtr = RefCountedPtr<DgnECInstance>;

// The instances that one search found, in the order of the element's instances.
class DgnECInstanceIterable {
 public:
  using const_iterator = std::vector<DgnECInstancePtr>::const_iterator;
  DgnECInstanceIterable() = default;
  explicit DgnECInstanceIterable(std::vector<DgnECInstancePtr> instances)
      : m_instances(std::move(instances)) {}
  const_iterator begin() const { return m_instances.begin(); }
  const_iterator end() const { return m_instances.end(); }
  bool empty() const { return m_instances.empty(); }

 private:
  std::vector<DgnECInstancePtr> m_instances;
};

// What a search looks at. The stand-in keeps every element's instances in one place, so
// every host type finds the same instances.
enum DgnECHostType : int {
  DgnECHostType_None = 0,
  DgnECHostType_Element = 1,
  DgnECHostType_All = 0xFF,
};

class FindInstancesScopeOption {
 public:
  explicit FindInstancesScopeOption(DgnECHostType hostType = DgnECHostType_Element,
                                    bool searchPublicChildren = true)
      : m_hostType(hostType), m_searchPublicChildren(searchPublicChildren) {}
  DgnECHostType GetHostType() const { return m_hostType; }
  bool GetSearchPublicChildren() const { return m_searchPublicChildren; }

 private:
  DgnECHostType m_hostType;
  bool m_searchPublicChildren;
};

class FindInstancesScope;
using FindInstancesScopePtr = RefCountedPtr<FindInstancesScope>;

// The element that a search looks at. For a cell these are the cell's own instances, not
// those of its children.
class FindInstancesScope : public RefCountedBase {
 public:
  static FindInstancesScopePtr CreateScope(ElementHandleCR element,
                                           const FindInstancesScopeOption& option);

 private:
  friend struct host::Inside;
  // The element and the file whose classes its instances name; null for an invalid handle.
  FindInstancesScope(const host::Element* element, const host::DesignFile* design)
      : m_element(element), m_design(design) {}
  const host::Element* m_element;
  const host::DesignFile* m_design;
};

// Flags of what a query looks for; the stand-in finds every instance whatever the flags.
enum ECQueryProcessFlags : int {
  ECQUERY_PROCESS_Empty = 0,
  ECQUERY_PROCESS_SearchAllClasses = 2,
  ECQUERY_PROCESS_SearchAllExtrinsic = 4,
};

class ECQuery;
using ECQueryPtr = RefCountedPtr<ECQuery>;

class ECQuery : public RefCountedBase {
 public:
  static ECQueryPtr CreateQuery(ECQueryProcessFlags flags);
  ECQueryProcessFlags GetProcessFlags() const { return m_flags; }

 private:
  explicit ECQuery(ECQueryProcessFlags flags) : m_flags(flags) {}
  ECQueryProcessFlags m_flags;
};

class DgnECManager {
 public:
  static DgnECManager& GetManager();
  // The instances of the scope's element, in the order the element holds them. When count
  // is given it receives their number. An instance whose class the file lacks is skipped.
  DgnECInstanceIterable FindInstances(FindInstancesScope& scope, const ECQuery& query,
                                      unsigned* count = nullptr);
};
