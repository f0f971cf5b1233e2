#include "host/polyface.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "standin/geometry/mesh_motion.h"

IFacetOptionsPtr IFacetOptions::Create() { return IFacetOptionsPtr(new IFacetOptions()); }

namespace {

// The number of positions i of index[0, count) where a face starts: index[i] is not 0 and
// i is 0 or index[i - 1] is 0. Four entries are judged at once where SSE2 is there (every
// x86-64); the lane counts are gathered before they could overflow.
size_t CountFaceStarts(const int32_t* index, size_t count) {
  if (count == 0) return 0;
  size_t faces = index[0] != 0;
  size_t i = 1;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  constexpr size_t kBlock = size_t{1} << 28;  // steps that a 32-bit lane count survives
  while (i + 4 <= count) {
    __m128i starts = zero;  // each lane counts down by one per face start
    const size_t stop = count - i > 4 * kBlock ? i + 4 * kBlock : count;
    for (; i + 4 <= stop; i += 4) {
      const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(index + i));
      const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(index + i - 1));
      const __m128i start =
          _mm_andnot_si128(_mm_cmpeq_epi32(here, zero), _mm_cmpeq_epi32(before, zero));
      starts = _mm_add_epi32(starts, start);
    }
    alignas(16) int32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), starts);
    for (int32_t lane : lanes) faces += static_cast<size_t>(-static_cast<int64_t>(lane));
  }
#endif
  for (; i < count; ++i) faces += static_cast<size_t>(index[i] != 0 && index[i - 1] == 0);
  return faces;
}

}  // namespace

// A face is a maximal run of non-zero indices: in a variable-size mesh the terminators end
// the runs; a last face without its terminator still counts. In a fixed-size mesh each block
// of numPerFace entries is a face (shorter faces are padded with zeros).
size_t PolyfaceQuery::GetNumFacet() const {
  if (m_numPerFace > 0) return m_pointIndex.size() / static_cast<size_t>(m_numPerFace);
  return CountFaceStarts(m_pointIndex.data(), m_pointIndex.size());
}

PolyfaceHeader::PolyfaceHeader() = default;

PolyfaceHeader::~PolyfaceHeader() = default;

PolyfaceHeaderPtr PolyfaceHeader::CreateVariableSizeIndexed() {
  return PolyfaceHeaderPtr(new PolyfaceHeader());
}

PolyfaceHeaderPtr PolyfaceHeader::CreateIndexedMesh(int numPerFace, const bvector<DPoint3d>& points,
                                                    const bvector<int>& indices) {
  PolyfaceHeaderPtr mesh(new PolyfaceHeader());
  mesh->m_numPerFace = numPerFace > 0 ? numPerFace : 0;
  mesh->m_points = points;
  mesh->m_pointIndex.assign(indices.begin(), indices.end());
  return mesh;
}

void PolyfaceHeader::CopyFrom(PolyfaceQueryCR source) {
  if (&source == static_cast<PolyfaceQuery*>(this)) return;
  m_points.assign(source.GetPointCP(), source.GetPointCP() + source.GetPointCount());
  m_pointIndex.assign(source.GetPointIndexCP(),
                      source.GetPointIndexCP() + source.GetPointIndexCount());
  m_normals.assign(source.GetNormalCP(), source.GetNormalCP() + source.GetNormalCount());
  m_numPerFace = source.GetNumPerFace();
}

// Faces are short: room for the face is made first (doubling, as the list would), so that
// each entry is appended without a growth check of its own.
void PolyfaceHeader::AddIndexedFace(const int32_t* indices, size_t count) {
  const size_t needed = m_pointIndex.size() + count + 1;
  if (needed > m_pointIndex.capacity())
    m_pointIndex.reserve(std::max(needed, 2 * m_pointIndex.capacity()));
  for (size_t i = 0; i < count; ++i) m_pointIndex.push_back(indices[i]);
  m_pointIndex.push_back(0);
}

namespace {

// Reverses one face in place. A negative index hides the edge that leaves its point for the
// next point of the face, so each sign moves along with its edge: the edge (a[k], a[k+1])
// becomes (a[k+1], a[k]) and its mark goes to a[k+1]. Faces of up to kShortFace points are
// copied on the stack.
constexpr size_t kShortFace = 32;
void ReverseFace(int32_t* face, size_t count) {
  if (count < 2) return;
  int32_t shortCopy[kShortFace];
  bvector<int32_t> longCopy;
  const int32_t* original = shortCopy;
  if (count <= kShortFace) {
    std::copy(face, face + count, shortCopy);
  } else {
    longCopy.assign(face, face + count);
    original = longCopy.data();
  }
  for (size_t j = 0; j < count; ++j) {
    int32_t point = std::abs(original[count - 1 - j]);
    bool hidden = original[(2 * count - 2 - j) % count] < 0;
    face[j] = hidden ? -point : point;
  }
}

}  // namespace

void PolyfaceHeader::Transform(const ::Transform& transform, bool reverseIndicesIfMirrored) {
  host::MoveMesh(transform, m_points, m_normals);
  if (!reverseIndicesIfMirrored || !transform.IsMirror()) return;
  if (m_numPerFace > 0) {
    size_t block = static_cast<size_t>(m_numPerFace);
    for (size_t start = 0; start + block <= m_pointIndex.size(); start += block) {
      size_t used = 0;
      while (used < block && m_pointIndex[start + used] != 0) ++used;
      ReverseFace(&m_pointIndex[start], used);
    }
    return;
  }
  size_t start = 0;
  for (size_t i = 0; i <= m_pointIndex.size(); ++i) {
    if (i == m_pointIndex.size() || m_pointIndex[i] == 0) {
      if (i > start) ReverseFace(&m_pointIndex[start], i - start);
      start = i + 1;
    }
  }
}
