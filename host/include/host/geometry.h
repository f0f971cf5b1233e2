// Points, ranges and transforms: the host's plain geometry values.
#pragma once

#include <cstdint>

struct DPoint3d {
  double x = 0, y = 0, z = 0;

  static DPoint3d From(double x, double y, double z) { return DPoint3d{x, y, z}; }
  bool operator==(const DPoint3d&) const = default;
};
using DVec3d = DPoint3d;

// An axis-aligned box. A null range has low above high on every axis, so that extending
// it by a first point gives that point's box.
struct DRange3d {
  DPoint3d low, high;

  static DRange3d NullRange();
  void Init();
  bool IsNull() const;
  void Extend(const DPoint3d& point);
  void Extend(const DRange3d& other);
  bool operator==(const DRange3d&) const = default;
};

// A 3x4 matrix: rows of a rotation/scale part and a translation column.
class Transform {
 public:
  double form3d[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

  static Transform FromIdentity();
  static Transform FromRowValues(const double values[12]);
  void InitIdentity();
  bool IsIdentity() const;
  // this * other: other is applied first.
  Transform operator*(const Transform& other) const;
  DPoint3d Multiply(const DPoint3d& point) const;
  void Multiply(DPoint3d* points, int count) const;
  // The linear part only: for directions.
  DVec3d MultiplyMatrixOnly(const DVec3d& vector) const;
  // Whether the linear part flips orientation (negative determinant).
  bool IsMirror() const;
  bool operator==(const Transform& other) const;
};
