// D3DX 9 math against values derived here: double-precision formulas, a
// double Gauss-Jordan reference, or numbers worked out by hand. Floats are
// compared in units in the last place (ULPs).
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>

namespace {

// ------------------------------------------------------------- helpers

int64_t OrderedBits(float f) {
  int32_t i;
  memcpy(&i, &f, sizeof(i));
  // Sign-magnitude to a monotonic integer line; +0 and -0 both map to 0.
  return i < 0 ? -static_cast<int64_t>(i & 0x7fffffff) : static_cast<int64_t>(i);
}

int64_t UlpDistance(float a, float b) {
  const int64_t d = OrderedBits(a) - OrderedBits(b);
  return d < 0 ? -d : d;
}

float UlpAt(double magnitude) {
  const float f = std::fabs(static_cast<float>(magnitude));
  return std::nextafter(f, INFINITY) - f;
}

// Passes when each actual[i] lies within maxUlps ULPs of expected[i]
// rounded to float, or within maxUlps ULPs of `scale` in absolute terms:
// the allowance for results that come out of cancellation among terms of
// that size (scale 0 asks for a pure ULP comparison). Failures are reported
// at the caller's line, one message listing every element that is off.
void CheckValues(const char* file, int line, const char* what, const float* actual, const double* expected,
                 int count, int maxUlps, double scale) {
  std::ostringstream failures;
  for (int i = 0; i < count; ++i) {
    const float want = static_cast<float>(expected[i]);
    const bool finite = std::isfinite(actual[i]);
    const bool nearUlps = finite && UlpDistance(actual[i], want) <= maxUlps;
    const bool nearScale = finite && scale > 0.0 &&
                           std::fabs(static_cast<double>(actual[i]) - expected[i]) <= maxUlps * UlpAt(scale);
    if (!nearUlps && !nearScale) {
      failures.precision(9);
      failures << "\n  [" << i << "] actual " << actual[i] << ", expected " << expected[i] << " ("
               << (finite ? UlpDistance(actual[i], want) : -1) << " ulps)";
    }
  }
  const std::string text = failures.str();
  if (!text.empty()) {
    ADD_FAILURE_AT(file, line) << what << " differs beyond " << maxUlps << " ulps (scale " << scale << "):" << text;
  }
}

void CheckFloat(const char* file, int line, const char* what, float actual, double expected, int maxUlps,
                double scale) {
  CheckValues(file, line, what, &actual, &expected, 1, maxUlps, scale);
}

void CheckVec3(const char* file, int line, const char* what, const D3DXVECTOR3& actual, double x, double y,
               double z, int maxUlps, double scale) {
  const float a[3] = {actual.x, actual.y, actual.z};
  const double e[3] = {x, y, z};
  CheckValues(file, line, what, a, e, 3, maxUlps, scale);
}

#define EXPECT_FLOAT_ULPS(actual, expected, ulps) CheckFloat(__FILE__, __LINE__, #actual, actual, expected, ulps, 0.0)
#define EXPECT_FLOAT_NEAR_SCALE(actual, expected, ulps, scale) \
  CheckFloat(__FILE__, __LINE__, #actual, actual, expected, ulps, scale)
#define EXPECT_VEC3_ULPS(actual, x, y, z, ulps, scale) \
  CheckVec3(__FILE__, __LINE__, #actual, actual, x, y, z, ulps, scale)
#define EXPECT_MATRIX_ULPS(actual, expected, ulps, scale) \
  CheckMatrix(__FILE__, __LINE__, #actual, actual, expected, ulps, scale)

// A double 4×4 with just what the references need.
struct Ref {
  double m[4][4];
};

void CheckMatrix(const char* file, int line, const char* what, const D3DXMATRIX& actual, const Ref& expected,
                 int maxUlps, double scale) {
  CheckValues(file, line, what, &actual._11, &expected.m[0][0], 16, maxUlps, scale);
}

Ref ToRef(const D3DXMATRIX& a) {
  Ref r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a.m[i][j];
    }
  }
  return r;
}

Ref RefMultiply(const Ref& a, const Ref& b) {
  Ref r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = 0.0;
      for (int k = 0; k < 4; ++k) {
        r.m[i][j] += a.m[i][k] * b.m[k][j];
      }
    }
  }
  return r;
}

D3DXMATRIX ToFloat(const Ref& r) {
  D3DXMATRIX a;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      a.m[i][j] = static_cast<float>(r.m[i][j]);
    }
  }
  return a;
}

Ref RefIdentity() {
  Ref r = {};
  for (int i = 0; i < 4; ++i) {
    r.m[i][i] = 1.0;
  }
  return r;
}

// Gauss-Jordan with partial pivoting; returns the determinant.
double RefInverse(const Ref& in, Ref* out) {
  Ref a = in;
  Ref b = RefIdentity();
  double det = 1.0;
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int row = col + 1; row < 4; ++row) {
      if (std::fabs(a.m[row][col]) > std::fabs(a.m[pivot][col])) {
        pivot = row;
      }
    }
    if (pivot != col) {
      for (int j = 0; j < 4; ++j) {
        std::swap(a.m[pivot][j], a.m[col][j]);
        std::swap(b.m[pivot][j], b.m[col][j]);
      }
      det = -det;
    }
    const double p = a.m[col][col];
    det *= p;
    for (int j = 0; j < 4; ++j) {
      a.m[col][j] /= p;
      b.m[col][j] /= p;
    }
    for (int row = 0; row < 4; ++row) {
      if (row != col) {
        const double f = a.m[row][col];
        for (int j = 0; j < 4; ++j) {
          a.m[row][j] -= f * a.m[col][j];
          b.m[row][j] -= f * b.m[col][j];
        }
      }
    }
  }
  *out = b;
  return det;
}

D3DXMATRIX Filled(unsigned char byte) {
  D3DXMATRIX m;
  memset(&m, byte, sizeof(m));
  return m;
}

// A general matrix: no zeros, a projective last column, well conditioned.
const D3DXMATRIX kGeneral(2.0f, -1.5f, 0.25f, 0.5f,  //
                          0.75f, 3.0f, -1.0f, 0.125f,  //
                          -0.5f, 1.25f, 4.0f, -0.25f,  //
                          1.5f, -2.0f, 0.5f, 1.75f);

// ------------------------------------------------------------- tests

TEST(D3DXMath, IdentityTranslationScalingAndRotationRows) {
  D3DXMATRIX m = Filled(0xcd);
  EXPECT_EQ(&m, D3DXMatrixIdentity(&m));
  const D3DXMATRIX identity(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  EXPECT_EQ(identity, m);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&m));
  for (int i = 0; i < 16; ++i) {
    D3DXMATRIX p = identity;
    float& e = (&p._11)[i];
    e = std::nextafter(e, 2.0f);
    EXPECT_FALSE(D3DXMatrixIsIdentity(&p)) << "element " << i;
  }
  D3DXMATRIX negativeZero = identity;
  negativeZero._12 = -0.0f;
  EXPECT_TRUE(D3DXMatrixIsIdentity(&negativeZero));

  EXPECT_EQ(D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1.5f, -2, 3, 1), *D3DXMatrixTranslation(&m, 1.5f, -2, 3));
  EXPECT_EQ(D3DXMATRIX(2, 0, 0, 0, 0, -3, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1), *D3DXMatrixScaling(&m, 2, -3, 0.5f));

  // Left-handed rotations for row vectors: X turns y toward z, Y turns z
  // toward x, Z turns x toward y. cos and sin from double, so 1 ulp apart.
  const float angles[] = {0.0f, 0.5235988f, 1.5707964f, -1.0f, 3.0f, 10.0f};
  for (float a : angles) {
    SCOPED_TRACE(testing::Message() << "angle " << a);
    const double c = std::cos(static_cast<double>(a)), s = std::sin(static_cast<double>(a));
    const Ref x = {{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
    const Ref y = {{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}};
    const Ref z = {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    EXPECT_MATRIX_ULPS(*D3DXMatrixRotationX(&m, a), x, 1, 0.0);
    EXPECT_MATRIX_ULPS(*D3DXMatrixRotationY(&m, a), y, 1, 0.0);
    EXPECT_MATRIX_ULPS(*D3DXMatrixRotationZ(&m, a), z, 1, 0.0);
  }
}

TEST(D3DXMath, MultiplyOrderAliasingAndOperators) {
  // Dyadic entries: every product and sum is exact in float, so the result
  // must match the double reference bit for bit.
  const D3DXMATRIX a = kGeneral;
  const D3DXMATRIX b(0.5f, 1.0f, -2.0f, 0.0f, 3.0f, -0.25f, 1.0f, 0.5f, -1.0f, 2.0f, 0.75f, 0.0f, 4.0f, -3.0f,
                     0.5f, 1.0f);
  D3DXMATRIX ab = Filled(0xcd);
  EXPECT_EQ(&ab, D3DXMatrixMultiply(&ab, &a, &b));
  EXPECT_MATRIX_ULPS(ab, RefMultiply(ToRef(a), ToRef(b)), 0, 0.0);
  D3DXMATRIX ba;
  D3DXMatrixMultiply(&ba, &b, &a);
  EXPECT_NE(ab, ba);

  // A × B applies A first: v × (A × B) == (v × A) × B.
  const D3DXVECTOR3 v(1.0f, -2.0f, 0.5f);
  D3DXVECTOR4 va, vab;
  D3DXVec3Transform(&va, &v, &a);
  D3DXVec3Transform(&vab, &v, &ab);
  const double vaB[4] = {
      va.x * b._11 + va.y * b._21 + va.z * b._31 + va.w * b._41,
      va.x * b._12 + va.y * b._22 + va.z * b._32 + va.w * b._42,
      va.x * b._13 + va.y * b._23 + va.z * b._33 + va.w * b._43,
      va.x * b._14 + va.y * b._24 + va.z * b._34 + va.w * b._44,
  };
  CheckValues(__FILE__, __LINE__, "v x (A x B)", &vab.x, vaB, 4, 0, 0.0);

  // Translate then rotate a quarter turn about z, and the reverse.
  D3DXMATRIX t, r, tr, rt;
  D3DXMatrixTranslation(&t, 1, 2, 3);
  D3DXMatrixRotationZ(&r, 1.5707964f);
  D3DXMatrixMultiply(&tr, &t, &r);
  D3DXMatrixMultiply(&rt, &r, &t);
  const D3DXVECTOR3 p(1, 0, 0);
  D3DXVECTOR3 q;
  EXPECT_VEC3_ULPS(*D3DXVec3TransformCoord(&q, &p, &tr), -2, 2, 3, 2, 4.0);  // (2, 2, 3) turned
  EXPECT_VEC3_ULPS(*D3DXVec3TransformCoord(&q, &p, &rt), 1, 3, 3, 2, 4.0);   // (0, 1, 0) moved

  // The output may be either input or both.
  D3DXMATRIX alias = a;
  D3DXMatrixMultiply(&alias, &alias, &b);
  EXPECT_EQ(ab, alias);
  alias = b;
  D3DXMatrixMultiply(&alias, &a, &alias);
  EXPECT_EQ(ab, alias);
  D3DXMATRIX aa;
  D3DXMatrixMultiply(&aa, &a, &a);
  alias = a;
  D3DXMatrixMultiply(&alias, &alias, &alias);
  EXPECT_EQ(aa, alias);

  EXPECT_EQ(ab, a * b);
  alias = a;
  alias *= b;
  EXPECT_EQ(ab, alias);
  alias = a;
  alias *= alias;
  EXPECT_EQ(aa, alias);
}

TEST(D3DXMath, TransposeAndDeterminant) {
  D3DXMATRIX t = Filled(0xcd);
  EXPECT_EQ(&t, D3DXMatrixTranspose(&t, &kGeneral));
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(kGeneral.m[j][i], t.m[i][j]) << i << "," << j;
    }
  }
  D3DXMATRIX inPlace = kGeneral;
  D3DXMatrixTranspose(&inPlace, &inPlace);
  EXPECT_EQ(t, inPlace);

  Ref unused;
  const double det = RefInverse(ToRef(kGeneral), &unused);
  EXPECT_FLOAT_ULPS(D3DXMatrixDeterminant(&kGeneral), det, 2);
  EXPECT_FLOAT_ULPS(D3DXMatrixDeterminant(&t), det, 2);

  // Rotation and translation keep volume; scaling multiplies it.
  D3DXMATRIX s, r, tr, m;
  D3DXMatrixScaling(&s, 2, 3, -4);
  D3DXMatrixRotationY(&r, 0.7f);
  D3DXMatrixTranslation(&tr, 10, -20, 30);
  D3DXMatrixMultiply(&m, &s, &r);
  D3DXMatrixMultiply(&m, &m, &tr);
  EXPECT_FLOAT_ULPS(D3DXMatrixDeterminant(&m), -24.0, 8);
}

TEST(D3DXMath, InverseGeneralSingularAndAliasing) {
  Ref want;
  const double det = RefInverse(ToRef(kGeneral), &want);
  double largest = 0;
  for (auto& row : want.m) {
    for (double e : row) {
      largest = std::fmax(largest, std::fabs(e));
    }
  }

  D3DXMATRIX inv = Filled(0xcd);
  float gotDet = 0;
  EXPECT_EQ(&inv, D3DXMatrixInverse(&inv, &gotDet, &kGeneral));
  EXPECT_MATRIX_ULPS(inv, want, 4, largest);
  EXPECT_FLOAT_ULPS(gotDet, det, 2);

  // M × M⁻¹ and M⁻¹ × M are the identity to within the rounding of M⁻¹.
  const D3DXMATRIX right = ToFloat(RefMultiply(ToRef(kGeneral), ToRef(inv)));
  const D3DXMATRIX left = ToFloat(RefMultiply(ToRef(inv), ToRef(kGeneral)));
  EXPECT_MATRIX_ULPS(right, RefIdentity(), 32, 1.0);
  EXPECT_MATRIX_ULPS(left, RefIdentity(), 32, 1.0);
  D3DXMATRIX product;
  D3DXMatrixMultiply(&product, &kGeneral, &inv);
  EXPECT_MATRIX_ULPS(product, RefIdentity(), 32, 1.0);

  // In place, with and without the determinant, gives the same bits.
  D3DXMATRIX alias = kGeneral;
  EXPECT_EQ(&alias, D3DXMatrixInverse(&alias, NULL, &alias));
  EXPECT_EQ(inv, alias);

  // A rigid transform inverts to its transposed rotation and moved-back origin.
  D3DXMATRIX r, t, rigid, rigidInv;
  D3DXMatrixRotationX(&r, -0.4f);
  D3DXMatrixTranslation(&t, 5, -6, 7);
  D3DXMatrixMultiply(&rigid, &r, &t);
  ASSERT_NE(nullptr, D3DXMatrixInverse(&rigidInv, NULL, &rigid));
  const double c = std::cos(-0.4), s = std::sin(-0.4);
  // v = (p − t) × Rᵀ for row vectors, so row 3 is −t × Rᵀ.
  const Ref rigidWant = {{{1, 0, 0, 0},
                          {0, c, -s, 0},
                          {0, s, c, 0},
                          {-5, -(-6 * c + 7 * s), -(-6 * -s + 7 * c), 1}}};
  EXPECT_MATRIX_ULPS(rigidInv, rigidWant, 8, 8.0);

  struct Singular {
    const char* name;
    D3DXMATRIX m;
  };
  const Singular singular[] = {
      {"zero", D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)},
      {"flattening scale", D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1)},
      {"zero row", D3DXMATRIX(2, 1, 0, 3, 1, 5, 7, 2, 0, 0, 0, 0, 4, 3, 2, 1)},
      {"rows 0 and 2 equal", D3DXMATRIX(2, -1, 3, 0.5f, 1, 4, -2, 6, 2, -1, 3, 0.5f, 0, 7, 1, -3)},
      {"row 3 = row 0 + row 1",
       D3DXMATRIX(2, -1, 3, 0.5f, 1, 4, -2, 6, 5, 0, 1, -1, 3, 3, 1, 6.5f)},
      {"equal columns 1 and 3", D3DXMATRIX(2, 3, 1, 3, -1, 4, 0, 4, 5, 0.5f, 2, 0.5f, 1, -2, 7, -2)},
  };
  for (const Singular& k : singular) {
    SCOPED_TRACE(k.name);
    D3DXMATRIX out = Filled(0xcd);
    const D3DXMATRIX before = out;
    float d = 123.0f;
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, &d, &k.m));
    EXPECT_EQ(0, memcmp(&before, &out, sizeof(out)));
    EXPECT_EQ(0.0f, d);
    EXPECT_EQ(0.0f, D3DXMatrixDeterminant(&k.m));
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, NULL, &k.m));
    EXPECT_EQ(0, memcmp(&before, &out, sizeof(out)));
  }
}

TEST(D3DXMath, LookAtLHDemoCamera) {
  const D3DXVECTOR3 eye(25, 75, 75), at(0, 30, 0), up(0, 1, 0);
  D3DXMATRIX view = Filled(0xcd);
  EXPECT_EQ(&view, D3DXMatrixLookAtLH(&view, &eye, &at, &up));

  // zaxis = normal(at − eye) = (−5, −9, −15)/√331; xaxis = normal(up × zaxis)
  // = (−3, 0, 1)/√10; yaxis = zaxis × xaxis = (−9, 50, −27)/√(331·10).
  const double nz = std::sqrt(331.0), nx = std::sqrt(10.0), ny = std::sqrt(3310.0);
  const double z[3] = {-5 / nz, -9 / nz, -15 / nz};
  const double x[3] = {-3 / nx, 0, 1 / nx};
  const double y[3] = {-9 / ny, 50 / ny, -27 / ny};
  const double e[3] = {25, 75, 75};
  auto dot = [&](const double* u) { return u[0] * e[0] + u[1] * e[1] + u[2] * e[2]; };
  const Ref want = {{{x[0], y[0], z[0], 0},
                     {x[1], y[1], z[1], 0},
                     {x[2], y[2], z[2], 0},
                     {-dot(x), -dot(y), -dot(z), 1}}};
  // Row 3 comes out of sums of terms near 75 (the x one cancels to zero).
  CheckValues(__FILE__, __LINE__, "view rows 0-2", &view._11, &want.m[0][0], 12, 4, 1.0);
  CheckValues(__FILE__, __LINE__, "view row 3", &view._41, &want.m[3][0], 4, 4, 128.0);

  // The demo stores the inverse as the camera's world matrix: unit axes in
  // rows 0-2 (the transposed rotation) and the eye point in row 3.
  D3DXMATRIX world;
  ASSERT_NE(nullptr, D3DXMatrixInverse(&world, NULL, &view));
  const Ref worldWant = {{{x[0], x[1], x[2], 0},
                          {y[0], y[1], y[2], 0},
                          {z[0], z[1], z[2], 0},
                          {25, 75, 75, 1}}};
  CheckValues(__FILE__, __LINE__, "world rows 0-2", &world._11, &worldWant.m[0][0], 12, 8, 1.0);
  CheckValues(__FILE__, __LINE__, "world row 3", &world._41, &worldWant.m[3][0], 4, 8, 128.0);
  for (int i = 0; i < 3; ++i) {
    const double len = std::sqrt(double(world.m[i][0]) * world.m[i][0] + double(world.m[i][1]) * world.m[i][1] +
                                 double(world.m[i][2]) * world.m[i][2]);
    SCOPED_TRACE(testing::Message() << "length of row " << i);
    EXPECT_FLOAT_NEAR_SCALE(static_cast<float>(len), 1.0, 4, 1.0);
  }

  // The eye goes to the origin and the target onto +z at its distance.
  D3DXVECTOR3 v;
  EXPECT_VEC3_ULPS(*D3DXVec3TransformCoord(&v, &eye, &view), 0, 0, 0, 4, 128.0);
  EXPECT_VEC3_ULPS(*D3DXVec3TransformCoord(&v, &at, &view), 0, 0, std::sqrt(25.0 * 25 + 45 * 45 + 75 * 75), 4,
                   128.0);
}

TEST(D3DXMath, PerspectiveFovLHDemoProjection) {
  const float fovy = 1.0471976f, aspect = 1.3333334f, zn = 1.0f, zf = 200.0f;
  D3DXMATRIX proj = Filled(0xcd);
  EXPECT_EQ(&proj, D3DXMatrixPerspectiveFovLH(&proj, fovy, aspect, zn, zf));
  const double yScale = 1.0 / std::tan(fovy / 2.0), xScale = yScale / aspect;
  const Ref want = {{{xScale, 0, 0, 0}, {0, yScale, 0, 0}, {0, 0, 200.0 / 199, 1}, {0, 0, -200.0 / 199, 0}}};
  EXPECT_MATRIX_ULPS(proj, want, 2, 0.0);
  EXPECT_EQ(1.0f, proj._34);
  EXPECT_EQ(0.0f, proj._44);

  // After the divide by w (= view z): depth 0 at the near plane, 1 at the far
  // plane, and the corners of the field of view at ±1.
  struct Case {
    D3DXVECTOR3 in;
    double x, y, depth;
  };
  const double tanHalf = std::tan(fovy / 2.0);
  const Case cases[] = {
      {D3DXVECTOR3(0, 0, zn), 0, 0, 0},
      {D3DXVECTOR3(0, 0, zf), 0, 0, 1},
      {D3DXVECTOR3(0, 0, 2), 0, 0, (200.0 / 199) * 0.5},
      {D3DXVECTOR3(float(10 * tanHalf * aspect), float(-10 * tanHalf), 10), 1, -1, (200.0 / 199) * 0.9},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "z " << k.in.z);
    D3DXVECTOR3 out;
    EXPECT_VEC3_ULPS(*D3DXVec3TransformCoord(&out, &k.in, &proj), k.x, k.y, k.depth, 4, 1.0);
  }
}

TEST(D3DXMath, Vec3TransformNormalizeCrossDotLength) {
  // A projective matrix: w = 0.5x + 0.25z + 2, so (2, 4, 4) has w = 4.
  const D3DXMATRIX m(1, 2, 0, 0.5f,  //
                     0, 1, 3, 0,     //
                     2, 0, 1, 0.25f,  //
                     4, -2, 6, 2);
  const D3DXVECTOR3 p(2, 4, 4);
  // (x, y, z, w) = (2 + 8 + 4, 4 + 4 − 2, 12 + 4 + 6, 4) = (14, 6, 22, 4).
  D3DXVECTOR4 h;
  EXPECT_EQ(&h, D3DXVec3Transform(&h, &p, &m));
  EXPECT_EQ(D3DXVECTOR4(14, 6, 22, 4), h);
  D3DXVECTOR3 v;
  EXPECT_EQ(&v, D3DXVec3TransformCoord(&v, &p, &m));
  EXPECT_EQ(D3DXVECTOR3(3.5f, 1.5f, 5.5f), v);
  D3DXVECTOR3 alias = p;
  D3DXVec3TransformCoord(&alias, &alias, &m);
  EXPECT_EQ(v, alias);
  // Normals ignore row 3 and the w column: (2 + 8, 4 + 4, 12 + 4).
  EXPECT_EQ(D3DXVECTOR3(10, 8, 16), *D3DXVec3TransformNormal(&v, &p, &m));
  alias = p;
  EXPECT_EQ(D3DXVECTOR3(10, 8, 16), *D3DXVec3TransformNormal(&alias, &alias, &m));

  struct NormalizeCase {
    D3DXVECTOR3 in;
    double x, y, z;
  };
  const NormalizeCase normalize[] = {
      {D3DXVECTOR3(3, 4, 12), 3.0 / 13, 4.0 / 13, 12.0 / 13},
      {D3DXVECTOR3(-2, 0, 0), -1, 0, 0},
      {D3DXVECTOR3(1e-3f, -1e-3f, 1e-3f), 1 / std::sqrt(3.0), -1 / std::sqrt(3.0), 1 / std::sqrt(3.0)},
      {D3DXVECTOR3(0, 0, 0), 0, 0, 0},
  };
  for (const NormalizeCase& k : normalize) {
    SCOPED_TRACE(testing::Message() << "(" << k.in.x << ", " << k.in.y << ", " << k.in.z << ")");
    D3DXVECTOR3 n = D3DXVECTOR3(7, 7, 7);
    EXPECT_EQ(&n, D3DXVec3Normalize(&n, &k.in));
    EXPECT_VEC3_ULPS(n, k.x, k.y, k.z, 2, 0.0);
    D3DXVECTOR3 inPlace = k.in;
    D3DXVec3Normalize(&inPlace, &inPlace);
    EXPECT_EQ(n, inPlace);
  }

  const D3DXVECTOR3 a(1, 2, 3), b(4, 5, 6);
  D3DXVECTOR3 c;
  EXPECT_EQ(&c, D3DXVec3Cross(&c, &a, &b));
  EXPECT_EQ(D3DXVECTOR3(-3, 6, -3), c);
  const D3DXVECTOR3 ex(1, 0, 0), ey(0, 1, 0);
  EXPECT_EQ(D3DXVECTOR3(0, 0, 1), *D3DXVec3Cross(&c, &ex, &ey));
  D3DXVECTOR3 left = a, right = b;
  D3DXVec3Cross(&left, &left, &b);
  D3DXVec3Cross(&right, &a, &right);
  EXPECT_EQ(D3DXVECTOR3(-3, 6, -3), left);
  EXPECT_EQ(D3DXVECTOR3(-3, 6, -3), right);

  EXPECT_EQ(32.0f, D3DXVec3Dot(&a, &b));
  const D3DXVECTOR3 l(3, -4, 12);
  EXPECT_EQ(13.0f, D3DXVec3Length(&l));
}

}  // namespace
