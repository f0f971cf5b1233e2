// The loader's fast path for elements: reads one element (with its children, instances and
// geometry) from the pull reader, with every check of the document reader. Throws
// json_source::Unsure on a fault or a doubt, like the rest of the fast path.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <cstdint>
#include <memory>
#include <vector>

#include "standin/design/design.h"
#include "standin/design/json_source.h"

namespace host::design_stream {

// Element ids of one model: the highest so far gives the default id, and duplicates are
// looked for once the model has ended, and only when the ids did not come in rising order.
class ModelIds {
 public:
  uint64_t Highest() const { return m_highest; }
  void Add(uint64_t id);
  bool Unique();

 private:
  std::vector<uint64_t> m_all;
  uint64_t m_highest = 0;
  bool m_rising = true;
};

class ElementReader {
 public:
  // design gives the levels and classes that elements refer to; they are read before.
  ElementReader(json_source::Source& in, const DesignFile& design) : m_in(in), m_design(design) {}

  // ids is null for the children of cells, which have no id of their own; depth counts the
  // cells around the element.
  std::unique_ptr<Element> Read(ModelIds* ids, int depth = 0);

 private:
  void readMember(int member, Element* element, int depth);
  void readFaces(Element* element);
  static void checkGeometry(Element* element);
  Instance readInstance();
  PropertyValue readPropertyValue();

  json_source::Source& m_in;
  const DesignFile& m_design;
};

}  // namespace host::design_stream
