// Symbology of elements: colours, levels, transparency, and the colour maps of design files.
#pragma once

#include "host/dgn_model.h"
#include "host/element_handle.h"
#include "host/host_types.h"
#include "host/wstring.h"

namespace host {
struct DesignFile;
struct Level;
}  // namespace host

// A colour as four bytes: red, green, blue and a fourth byte (0).
struct IntColorDef {
  union {
    struct {
      Byte red, green, blue, flags;
    } m_rgb;
    UInt32 m_int;
  };
  IntColorDef() : m_int(0) {}
  IntColorDef(Byte r, Byte g, Byte b) : m_int(0) {
    m_rgb.red = r;
    m_rgb.green = g;
    m_rgb.blue = b;
  }
};

// Indexes an element's symbology: a simple element has index 0 only; a cell has one index
// per child in depth-first order (nested cells count their children, not themselves).
// An index past the last fails with a non-zero status and leaves the out value alone.
class SymbologyReporter {
 public:
  explicit SymbologyReporter(ElementHandleCR element);
  StatusInt GetColorID(UInt32& colorId, UInt32 index) const;
  StatusInt GetLevelId(LevelId& levelId, UInt32 index) const;
  StatusInt GetTransparency(double& transparency, UInt32 index) const;

 private:
  const host::Element* ComponentAt(UInt32 index) const;
  ElementHandleCR m_element;
};

class LevelDefinitionColor {
 public:
  explicit LevelDefinitionColor(UInt32 color) : m_color(color) {}
  UInt32 GetColor() const { return m_color; }

 private:
  UInt32 m_color;
};

class LevelHandle {
 public:
  explicit LevelHandle(const host::Level* level) : m_level(level) {}
  bool IsValid() const { return m_level != nullptr; }
  // The level's by-level colour; 0 for a level that the file does not define.
  LevelDefinitionColor GetByLevelColor() const;

 private:
  const host::Level* m_level;
};

class LevelCache {
 public:
  explicit LevelCache(host::DesignFile& design) : m_design(design) {}
  // A level of an id that the file doesn't define is invalid and has by-level colour 0.
  LevelHandle GetLevel(LevelId id, bool includeDeleted = false) const;

 private:
  host::DesignFile& m_design;
};

class DgnColorMap {
 public:
  explicit DgnColorMap(host::DesignFile& design) : m_design(design) {}
  static DgnColorMap* GetForDisplay(DgnModelRefP modelRef);
  // The table colour of ids 0 to 255; black for any other id.
  IntColorDef GetColor(UInt32 colorId) const;
  // Fills *colorDef with the displayed colour of elementColor in file: a table colour or a
  // true colour; black for an id defined nowhere. Non-zero for such an undefined id.
  static BentleyStatus ExtractElementColorInfo(IntColorDef* colorDef, UInt32* colorIndex,
                                               bool* isTrueColor, WString* bookName,
                                               WString* entryName, UInt32 elementColor,
                                               DgnFile& file);
  // The lowest table id with exactly that colour; else a true colour id of the file with
  // it; else a new true colour id (one more than the highest, from 256) added to the file.
  static UInt32 CreateElementColor(const IntColorDef& colorDef, WCharCP bookName, WCharCP colorName,
                                   DgnFile& file);

 private:
  host::DesignFile& m_design;
};
