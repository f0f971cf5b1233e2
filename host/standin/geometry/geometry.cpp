#include "host/geometry.h"

#include <algorithm>
#include <limits>

DRange3d DRange3d::NullRange() {
  DRange3d range;
  range.Init();
  return range;
}

void DRange3d::Init() {
  const double big = std::numeric_limits<double>::max();
  low = {big, big, big};
  high = {-big, -big, -big};
}

bool DRange3d::IsNull() const { return low.x > high.x || low.y > high.y || low.z > high.z; }

void DRange3d::Extend(const DPoint3d& p) {
  low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
  high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
}

void DRange3d::Extend(const DRange3d& other) {
  if (other.IsNull()) return;
  Extend(other.low);
  Extend(other.high);
}

Transform Transform::FromIdentity() { return Transform(); }

Transform Transform::FromRowValues(const double values[12]) {
  Transform t;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col) t.form3d[row][col] = values[row * 4 + col];
  return t;
}

void Transform::InitIdentity() { *this = Transform(); }

bool Transform::IsIdentity() const { return *this == Transform(); }

Transform Transform::operator*(const Transform& b) const {
  Transform r;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 4; ++col) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += form3d[row][k] * b.form3d[k][col];
      r.form3d[row][col] = sum + (col == 3 ? form3d[row][3] : 0.0);
    }
  }
  return r;
}

DPoint3d Transform::Multiply(const DPoint3d& p) const {
  const auto& m = form3d;
  return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
          m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
          m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
}

void Transform::Multiply(DPoint3d* points, int count) const {
  for (int i = 0; i < count; ++i) points[i] = Multiply(points[i]);
}

DVec3d Transform::MultiplyMatrixOnly(const DVec3d& v) const {
  const auto& m = form3d;
  return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
          m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
          m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

bool Transform::IsMirror() const {
  const auto& m = form3d;
  double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  return det < 0;
}

bool Transform::operator==(const Transform& other) const {
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 4; ++col)
      if (form3d[row][col] != other.form3d[row][col]) return false;
  return true;
}
