// The stand-in host's own model of a design file: what the loader reads, the writer saves,
// the seeding API builds, and every host operation reads. Not part of the host's interface:
// application code never includes this header.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/geometry.h"

class ECClass;  // the host's class objects, which a design keeps once made

// The handle that a scan passes for an element: the host's Element derives from it.
class ElementRefBase {
 public:
  virtual ~ElementRefBase() = default;
};

namespace host {

constexpr uint32_t kByLevelColor = 0xFFFFFFFFu;
constexpr uint32_t kDefaultLevelId = 64;

struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

struct Level {
  uint32_t id = 0;
  std::string name;  // UTF-8
  uint32_t byLevelColor = 0;
  bool operator==(const Level&) const = default;
};

struct PropertyDef {
  std::string name;   // UTF-8, unique in its class
  std::string label;  // display label; may be empty
  bool operator==(const PropertyDef&) const = default;
};

struct ClassDef {
  std::string name;
  std::string label;
  std::vector<PropertyDef> properties;
  bool operator==(const ClassDef&) const = default;
};

// A property value as the design gives it: string, integer, real, boolean or point.
using PropertyValue = std::variant<std::string, int64_t, double, bool, DPoint3d>;

struct Instance {
  std::string className;                        // names a class of the element's file
  std::map<std::string, PropertyValue> values;  // absent: no value
  bool operator==(const Instance&) const = default;
};

enum class ElementType { Line, LineString, Text, Shape, Mesh, Extrusion, Cone, Sphere, Cell };

// One element. Simple elements use the geometry members of their type; cells hold children,
// which have no id of their own.
struct Element : ElementRefBase {
  uint64_t id = 0;
  ElementType type = ElementType::Line;
  uint32_t color = 0;  // a colour id; kByLevelColor for "bylevel"
  uint32_t level = kDefaultLevelId;
  double transparency = 0;
  bool invisible = false;
  std::optional<DRange3d> storedRange;  // the design's "range"
  std::vector<Instance> instances;

  std::vector<DPoint3d> points;          // line, linestring, shape (closing point dropped), mesh
  std::vector<std::vector<int>> faces;   // mesh: one-based, negative for hidden edges
  DPoint3d origin;                       // text
  std::string text;                      // text, UTF-8
  std::vector<DPoint3d> profile;         // extrusion
  DVec3d vector;                         // extrusion sweep
  DPoint3d base, top;                    // cone centres
  double baseRadius = 0, topRadius = 0;  // cone
  DPoint3d center;                       // sphere
  double radius = 0;                     // sphere
  std::string cellName;                  // cell
  Transform transform;                   // cell
  std::vector<std::unique_ptr<Element>> children;  // cell

  Element() = default;
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;
};

struct Attachment {
  std::string file;                  // as written: relative to the attaching file, or absolute
  std::optional<std::string> model;  // absent: the attached file's active model
};

struct DesignFile;

struct Model {
  DesignFile* file = nullptr;  // the file that holds the model
  std::string name;            // UTF-8, unique in its file
  double uorPerMeter = 1000;
  // Elements live at stable addresses: handles and scans keep pointers to them.
  std::deque<std::unique_ptr<Element>> elements;
  std::vector<Attachment> attachments;
  bool changed = false;  // an element was added since loading

  Element* FindElement(uint64_t id) const;
  // One more than the highest id so far, starting at 1. Elements are only ever appended and
  // keep their ids, so each call looks only at the elements added since the one before: adding
  // many elements one by one stays linear.
  uint64_t NextElementId() const;
  // An id that no element of the model holds, never 0: the next id while it doesn't overflow,
  // else the lowest unused one. 0 when every id is taken.
  uint64_t FreeElementId() const;

 private:
  mutable uint64_t m_highestId = 0;  // of the first m_idsSeen elements
  mutable size_t m_idsSeen = 0;
};

struct DesignFile {
  std::string localPath;                    // where it was read from or will be written to
  std::wstring windowsPath;                 // as the application sees it
  std::string activeModel;                  // name of the model that opens as the active model
  std::vector<Level> levels;                // always holds level 64 "Default"
  std::array<Rgb, 256> colorTable;          // every entry, the host's defaults filled in
  std::array<bool, 256> colorTableGiven{};  // entries that the file itself gave
  std::map<uint32_t, Rgb> trueColors;       // ids 256 and up
  std::vector<ClassDef> classes;
  std::deque<std::unique_ptr<Model>> models;
  // The host's class objects of classes, by position, each made when first asked for and then
  // shared by every instance of its class.
  mutable std::vector<std::shared_ptr<const ECClass>> ecClasses;

  Model* FindModel(const std::string& name) const;
  Model* ActiveModel() const;
  const Level* FindLevel(uint32_t id) const;
  const ClassDef* FindClass(const std::string& name) const;
};

// The host's default colour table: white, blue, green, red, yellow, magenta, orange, cyan,
// then a fixed spread of the rest.
const std::array<Rgb, 256>& DefaultColorTable();

// A new, empty design: level 64 "Default", the default colour table, no models.
std::unique_ptr<DesignFile> NewDesignFile();

}  // namespace host
