// The host's graphics output: it walks an element's geometry and hands it, piece by piece, to
// a processor that the caller supplies.
#pragma once

#include "host/dgn_model.h"
#include "host/element_handle.h"
#include "host/geometry.h"
#include "host/host_types.h"
#include "host/polyface.h"
#include "host/wstring.h"

// A run of text placed at a point.
struct TextString {
  DPoint3d origin;
  WString text;
};

// An open chain of straight segments: a line has two points, a line string two or more.
struct CurvePrimitive {
  bvector<DPoint3d> points;
};

// A closed planar polygon; the closing point is not repeated.
struct CurveVector {
  bvector<DPoint3d> points;
};

// A solid described by its defining values rather than by facets.
struct SolidPrimitive {
  enum class Kind { Extrusion, Cone, Sphere };
  Kind kind = Kind::Extrusion;
  bvector<DPoint3d> profile;  // extrusion: closed planar polygon
  DVec3d vector;              // extrusion: the sweep
  DPoint3d base, top;         // cone: centres of the two ends
  double baseRadius = 0, topRadius = 0;
  DPoint3d center;  // sphere
  double radius = 0;
};

// A grid of control points of a surface (uCount x vCount, rows along u).
struct BSplineSurface {
  bvector<DPoint3d> poles;
  int uCount = 0, vCount = 0;
};

// Receives an element's graphics from ElementGraphicsOutput::Process. The 19 operations are
// called synchronously from inside Process and never after it returns. Every operation has
// a base behaviour, so a processor overrides only what it needs. The interface declares no
// virtual destructor: processors are never deleted through it.
class IElementGraphicsProcessor {
 public:
  // 0: whether patterns should be expanded into geometry.
  virtual bool _ExpandPatterns() { return false; }
  // 1: whether line styles should be expanded into geometry.
  virtual bool _ExpandLineStyles() { return false; }
  // 2: whether clipping applies.
  virtual bool _WantClipping() { return true; }
  // 3: whether geometry should arrive as facet sets (slot 15); isPolyface tells whether the
  // geometry already is a mesh. The base answers isPolyface.
  virtual bool _ProcessAsFacets(bool isPolyface) { return isPolyface; }
  // 4: whether a solid should arrive as a body; isCurved tells whether it has curved faces.
  virtual bool _ProcessAsBody(bool isCurved) {
    (void)isCurved;
    return true;
  }
  // 5: the output is about to start on a new context.
  virtual void _AnnounceContext() {}
  // 6: the placement of the geometry that follows, from its local coordinates to the model's;
  // null means none (the identity).
  virtual void _AnnounceTransform(Transform const* transform) { (void)transform; }
  // 7 and 8: display parameters and material symbology of the geometry that follows.
  virtual void _AnnounceElemDisplayParams() {}
  virtual void _AnnounceElemMatSymb() {}
  // 9: the purpose of the drawing.
  virtual int _GetDrawPurpose() { return 0; }
  // 10 to 15: geometry. Each returns SUCCESS when the processor took it; the base takes none.
  virtual BentleyStatus _ProcessTextString(TextString const& text) {
    (void)text;
    return ERROR;
  }
  virtual BentleyStatus _ProcessCurvePrimitive(CurvePrimitive const& curve) {
    (void)curve;
    return ERROR;
  }
  // 12: a closed curve; isFilled when its area is drawn.
  virtual BentleyStatus _ProcessCurveVector(CurveVector const& curves, bool isFilled) {
    (void)curves;
    (void)isFilled;
    return ERROR;
  }
  virtual BentleyStatus _ProcessSolidPrimitive(SolidPrimitive const& primitive) {
    (void)primitive;
    return ERROR;
  }
  virtual BentleyStatus _ProcessSurface(BSplineSurface const& surface) {
    (void)surface;
    return ERROR;
  }
  // 15: one facet set, in the coordinates of the last announced placement. The mesh belongs
  // to the host and lives only for the call: a processor copies what it keeps.
  virtual BentleyStatus _ProcessFacets(PolyfaceQueryCR meshData, bool isFilled) {
    (void)meshData;
    (void)isFilled;
    return ERROR;
  }
  // 16: the options to facet with; null means the host's defaults. Not owned by the host.
  virtual IFacetOptions* _GetFacetOptionsP() { return nullptr; }
  // 17: how deep nested geometry is followed.
  virtual int _GetMaxDepth() { return 26; }
  // 18: the output of one piece of geometry is complete.
  virtual void _OnComplete() {}

 protected:
  ~IElementGraphicsProcessor() = default;
};

struct ElementGraphicsOutput {
  // Hands the element's graphics to processor: asks slot 16 once for the facet options; a
  // mesh asks slot 3 with true, a shape, extrusion, cone or sphere with false (the solids also
  // ask slot 4). When slot 3 answers true the element is faceted and each facet set goes to
  // slot 15; otherwise a mesh still goes to slot 15 unsplit, a shape to slot 12 and a solid to
  // slot 13. Lines and line strings go to slot 11, text to slot 10. A cell hands over its
  // children in order, announcing through slot 6 before each child's geometry the product of
  // the transforms of the cells that hold it; a top-level simple element gets no announcement.
  // An invalid handle gives no call at all. modelRef is not used.
  static void Process(ElementHandleCR element, IElementGraphicsProcessor& processor,
                      DgnModelRefP modelRef);
};
