// D3DX 9 matrix and vector routines. Conventions as in the SDK: row vectors
// multiplied on the left (v' = v × M), so M1 × M2 applies M1 first; left-handed
// rotations; every routine accepts an output that aliases any of its inputs.
// Everything is computed in float except the 4×4 determinant and inverse,
// whose 2×2 minors and sums run in double and are rounded once at the end.
// Nothing here allocates.
#include <d3dx9.h>

#include <string.h>

namespace {

inline void Set(D3DXMATRIX* pOut, float m11, float m12, float m13, float m14, float m21, float m22, float m23,
                float m24, float m31, float m32, float m33, float m34, float m41, float m42, float m43,
                float m44) {
  pOut->_11 = m11, pOut->_12 = m12, pOut->_13 = m13, pOut->_14 = m14;
  pOut->_21 = m21, pOut->_22 = m22, pOut->_23 = m23, pOut->_24 = m24;
  pOut->_31 = m31, pOut->_32 = m32, pOut->_33 = m33, pOut->_34 = m34;
  pOut->_41 = m41, pOut->_42 = m42, pOut->_43 = m43, pOut->_44 = m44;
}

// The twelve 2×2 minors of a matrix: s from rows 0–1, c from rows 2–3, each
// over one pair of columns. Their products give the determinant and, with
// one more row element, every cofactor.
struct Minors {
  double s0, s1, s2, s3, s4, s5;
  double c0, c1, c2, c3, c4, c5;
  double det;
};

inline void ComputeMinors(const D3DXMATRIX& a, Minors* r) {
  // A float product is exact in double; only the differences round.
  const double a00 = a._11, a01 = a._12, a02 = a._13, a03 = a._14;
  const double a10 = a._21, a11 = a._22, a12 = a._23, a13 = a._24;
  const double a20 = a._31, a21 = a._32, a22 = a._33, a23 = a._34;
  const double a30 = a._41, a31 = a._42, a32 = a._43, a33 = a._44;
  r->s0 = a00 * a11 - a10 * a01;
  r->s1 = a00 * a12 - a10 * a02;
  r->s2 = a00 * a13 - a10 * a03;
  r->s3 = a01 * a12 - a11 * a02;
  r->s4 = a01 * a13 - a11 * a03;
  r->s5 = a02 * a13 - a12 * a03;
  r->c0 = a20 * a31 - a30 * a21;
  r->c1 = a20 * a32 - a30 * a22;
  r->c2 = a20 * a33 - a30 * a23;
  r->c3 = a21 * a32 - a31 * a22;
  r->c4 = a21 * a33 - a31 * a23;
  r->c5 = a22 * a33 - a32 * a23;
  r->det = r->s0 * r->c5 - r->s1 * r->c4 + r->s2 * r->c3 + r->s3 * r->c2 - r->s4 * r->c1 + r->s5 * r->c0;
}

}  // namespace

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat) {
  D3DXMatrixMultiply(this, this, &mat);
  return *this;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& mat) const {
  D3DXMATRIX out;
  D3DXMatrixMultiply(&out, this, &mat);
  return out;
}

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut) {
  Set(pOut, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

BOOL WINAPI D3DXMatrixIsIdentity(const D3DXMATRIX* pM) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      if (pM->m[i][j] != (i == j ? 1.0f : 0.0f)) {
        return FALSE;
      }
    }
  }
  return TRUE;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2) {
  // Built in a local so that pOut may be pM1, pM2 or both.
  float r[4][4];
  const float(*a)[4] = pM1->m;
  const float(*b)[4] = pM2->m;
  for (int i = 0; i < 4; ++i) {
    const float ai0 = a[i][0], ai1 = a[i][1], ai2 = a[i][2], ai3 = a[i][3];
    for (int j = 0; j < 4; ++j) {
      r[i][j] = ai0 * b[0][j] + ai1 * b[1][j] + ai2 * b[2][j] + ai3 * b[3][j];
    }
  }
  memcpy(pOut->m, r, sizeof(r));
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM) {
  float r[4][4];
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r[i][j] = pM->m[j][i];
    }
  }
  memcpy(pOut->m, r, sizeof(r));
  return pOut;
}

FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX* pM) {
  Minors k;
  ComputeMinors(*pM, &k);
  return static_cast<float>(k.det);
}

D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, const D3DXMATRIX* pM) {
  Minors k;
  ComputeMinors(*pM, &k);
  const float det = static_cast<float>(k.det);
  if (pDeterminant != NULL) {
    *pDeterminant = det;
  }
  // As in the SDK, only an exactly zero determinant counts as singular; a
  // determinant below float range is zero as well, since 1/det would not be.
  if (det == 0.0f) {
    return NULL;
  }

  const D3DXMATRIX& a = *pM;
  const double a00 = a._11, a01 = a._12, a02 = a._13, a03 = a._14;
  const double a10 = a._21, a11 = a._22, a12 = a._23, a13 = a._24;
  const double a20 = a._31, a21 = a._32, a22 = a._33, a23 = a._34;
  const double a30 = a._41, a31 = a._42, a32 = a._43, a33 = a._44;
  const double inv = 1.0 / k.det;

  // Adjugate (transposed cofactors) divided by the determinant; written
  // only after every element of pM has been read.
  const float b00 = static_cast<float>((a11 * k.c5 - a12 * k.c4 + a13 * k.c3) * inv);
  const float b01 = static_cast<float>((-a01 * k.c5 + a02 * k.c4 - a03 * k.c3) * inv);
  const float b02 = static_cast<float>((a31 * k.s5 - a32 * k.s4 + a33 * k.s3) * inv);
  const float b03 = static_cast<float>((-a21 * k.s5 + a22 * k.s4 - a23 * k.s3) * inv);
  const float b10 = static_cast<float>((-a10 * k.c5 + a12 * k.c2 - a13 * k.c1) * inv);
  const float b11 = static_cast<float>((a00 * k.c5 - a02 * k.c2 + a03 * k.c1) * inv);
  const float b12 = static_cast<float>((-a30 * k.s5 + a32 * k.s2 - a33 * k.s1) * inv);
  const float b13 = static_cast<float>((a20 * k.s5 - a22 * k.s2 + a23 * k.s1) * inv);
  const float b20 = static_cast<float>((a10 * k.c4 - a11 * k.c2 + a13 * k.c0) * inv);
  const float b21 = static_cast<float>((-a00 * k.c4 + a01 * k.c2 - a03 * k.c0) * inv);
  const float b22 = static_cast<float>((a30 * k.s4 - a31 * k.s2 + a33 * k.s0) * inv);
  const float b23 = static_cast<float>((-a20 * k.s4 + a21 * k.s2 - a23 * k.s0) * inv);
  const float b30 = static_cast<float>((-a10 * k.c3 + a11 * k.c1 - a12 * k.c0) * inv);
  const float b31 = static_cast<float>((a00 * k.c3 - a01 * k.c1 + a02 * k.c0) * inv);
  const float b32 = static_cast<float>((-a30 * k.s3 + a31 * k.s1 - a32 * k.s0) * inv);
  const float b33 = static_cast<float>((a20 * k.s3 - a21 * k.s1 + a22 * k.s0) * inv);
  Set(pOut, b00, b01, b02, b03, b10, b11, b12, b13, b20, b21, b22, b23, b30, b31, b32, b33);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z) {
  Set(pOut, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, x, y, z, 1.0f);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz) {
  Set(pOut, sx, 0.0f, 0.0f, 0.0f, 0.0f, sy, 0.0f, 0.0f, 0.0f, 0.0f, sz, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle) {
  const float c = cosf(Angle), s = sinf(Angle);
  Set(pOut, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, c, s, 0.0f, 0.0f, -s, c, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle) {
  const float c = cosf(Angle), s = sinf(Angle);
  Set(pOut, c, 0.0f, -s, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, s, 0.0f, c, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle) {
  const float c = cosf(Angle), s = sinf(Angle);
  Set(pOut, c, s, 0.0f, 0.0f, -s, c, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                      const D3DXVECTOR3* pUp) {
  const D3DXVECTOR3 eye = *pEye;
  const D3DXVECTOR3 forward = *pAt - eye;
  D3DXVECTOR3 zaxis, xaxis, yaxis;
  D3DXVec3Normalize(&zaxis, &forward);
  D3DXVec3Cross(&xaxis, pUp, &zaxis);
  D3DXVec3Normalize(&xaxis, &xaxis);
  D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
  Set(pOut, xaxis.x, yaxis.x, zaxis.x, 0.0f, xaxis.y, yaxis.y, zaxis.y, 0.0f, xaxis.z, yaxis.z, zaxis.z, 0.0f,
      -D3DXVec3Dot(&xaxis, &eye), -D3DXVec3Dot(&yaxis, &eye), -D3DXVec3Dot(&zaxis, &eye), 1.0f);
  return pOut;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf) {
  const float yScale = 1.0f / tanf(fovy * 0.5f);
  const float xScale = yScale / Aspect;
  Set(pOut, xScale, 0.0f, 0.0f, 0.0f, 0.0f, yScale, 0.0f, 0.0f, 0.0f, 0.0f, zf / (zf - zn), 1.0f, 0.0f, 0.0f,
      (zn * zf) / (zn - zf), 0.0f);
  return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  const float x = pV->x, y = pV->y, z = pV->z;
  const float w = x * pM->_14 + y * pM->_24 + z * pM->_34 + pM->_44;
  pOut->x = (x * pM->_11 + y * pM->_21 + z * pM->_31 + pM->_41) / w;
  pOut->y = (x * pM->_12 + y * pM->_22 + z * pM->_32 + pM->_42) / w;
  pOut->z = (x * pM->_13 + y * pM->_23 + z * pM->_33 + pM->_43) / w;
  return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  const float x = pV->x, y = pV->y, z = pV->z;
  pOut->x = x * pM->_11 + y * pM->_21 + z * pM->_31;
  pOut->y = x * pM->_12 + y * pM->_22 + z * pM->_32;
  pOut->z = x * pM->_13 + y * pM->_23 + z * pM->_33;
  return pOut;
}

D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM) {
  const float x = pV->x, y = pV->y, z = pV->z;
  pOut->x = x * pM->_11 + y * pM->_21 + z * pM->_31 + pM->_41;
  pOut->y = x * pM->_12 + y * pM->_22 + z * pM->_32 + pM->_42;
  pOut->z = x * pM->_13 + y * pM->_23 + z * pM->_33 + pM->_43;
  pOut->w = x * pM->_14 + y * pM->_24 + z * pM->_34 + pM->_44;
  return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV) {
  const float length = D3DXVec3Length(pV);
  if (length == 0.0f) {
    pOut->x = pOut->y = pOut->z = 0.0f;
  } else {
    pOut->x = pV->x / length;
    pOut->y = pV->y / length;
    pOut->z = pV->z / length;
  }
  return pOut;
}

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  const float x = pV1->y * pV2->z - pV1->z * pV2->y;
  const float y = pV1->z * pV2->x - pV1->x * pV2->z;
  const float z = pV1->x * pV2->y - pV1->y * pV2->x;
  pOut->x = x, pOut->y = y, pOut->z = z;
  return pOut;
}

FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2) {
  return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* pV) {
  return sqrtf(pV->x * pV->x + pV->y * pV->y + pV->z * pV->z);
}
