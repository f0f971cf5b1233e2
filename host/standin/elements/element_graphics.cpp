#include "host/element_graphics.h"

#include "standin/design/design.h"
#include "standin/design/inside_access.h"
#include "standin/geometry/faceter.h"

namespace {

using host::Element;
using host::ElementType;

SolidPrimitive ToSolidPrimitive(const Element& element) {
  SolidPrimitive solid;
  switch (element.type) {
    case ElementType::Extrusion:
      solid.kind = SolidPrimitive::Kind::Extrusion;
      solid.profile = element.profile;
      solid.vector = element.vector;
      break;
    case ElementType::Cone:
      solid.kind = SolidPrimitive::Kind::Cone;
      solid.base = element.base;
      solid.top = element.top;
      solid.baseRadius = element.baseRadius;
      solid.topRadius = element.topRadius;
      break;
    default:
      solid.kind = SolidPrimitive::Kind::Sphere;
      solid.center = element.center;
      solid.radius = element.radius;
      break;
  }
  return solid;
}

// The mesh as the design holds it, without splitting: for a processor that wants meshes but
// not faceting.
PolyfaceHeaderPtr UnsplitMesh(const Element& element) {
  PolyfaceHeaderPtr mesh = PolyfaceHeader::CreateVariableSizeIndexed();
  mesh->Point() = element.points;
  for (const auto& face : element.faces) {
    bvector<int32_t> indices(face.begin(), face.end());
    mesh->AddIndexedFace(indices.data(), indices.size());
  }
  return mesh;
}

class Output {
 public:
  Output(IElementGraphicsProcessor& processor, const IFacetOptions& options)
      : m_processor(processor), m_options(options) {}

  // placement is null for a top-level element: its geometry is not announced.
  void ElementGeometry(const Element& element, const Transform* placement) {
    if (element.type == ElementType::Cell) return CellChildren(element, placement);
    if (placement) m_processor._AnnounceTransform(placement);
    switch (element.type) {
      case ElementType::Line:
      case ElementType::LineString:
        m_processor._ProcessCurvePrimitive(CurvePrimitive{element.points});
        break;
      case ElementType::Text:
        m_processor._ProcessTextString(
            TextString{element.origin, BeStringUtilities::Utf8ToWChar(element.text.c_str())});
        break;
      case ElementType::Mesh:
        Mesh(element);
        break;
      case ElementType::Shape:
        Shape(element);
        break;
      default:
        Solid(element);
        break;
    }
  }

 private:
  void CellChildren(const Element& cell, const Transform* placement) {
    Transform childPlacement = placement ? *placement * cell.transform : cell.transform;
    for (const auto& child : cell.children) ElementGeometry(*child, &childPlacement);
  }

  void Mesh(const Element& element) {
    bool facet = m_processor._ProcessAsFacets(true);
    PolyfaceHeaderPtr mesh = facet ? host::FacetElement(element, m_options) : UnsplitMesh(element);
    m_processor._ProcessFacets(*mesh, false);
  }

  void Shape(const Element& element) {
    if (m_processor._ProcessAsFacets(false)) return Facets(element);
    m_processor._ProcessCurveVector(CurveVector{element.points}, true);
  }

  void Solid(const Element& element) {
    bool facet = m_processor._ProcessAsFacets(false);
    m_processor._ProcessAsBody(element.type != ElementType::Extrusion);
    if (facet) return Facets(element);
    m_processor._ProcessSolidPrimitive(ToSolidPrimitive(element));
  }

  // Degenerate geometry gives no facet set at all.
  void Facets(const Element& element) {
    if (PolyfaceHeaderPtr mesh = host::FacetElement(element, m_options))
      m_processor._ProcessFacets(*mesh, true);
  }

  IElementGraphicsProcessor& m_processor;
  const IFacetOptions& m_options;
};

}  // namespace

void ElementGraphicsOutput::Process(ElementHandleCR element, IElementGraphicsProcessor& processor,
                                    DgnModelRefP /*modelRef*/) {
  const Element* impl = host::Inside::ElementOf(element);
  if (!impl) return;
  IFacetOptionsPtr defaults;
  IFacetOptions* options = processor._GetFacetOptionsP();
  if (!options) {
    defaults = IFacetOptions::Create();
    options = defaults.get();
  }
  Output(processor, *options).ElementGeometry(*impl, nullptr);
}
