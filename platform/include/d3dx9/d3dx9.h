// d3dx9.h for Linux: the D3DX 9 math types and routines, the HLSL compiler
// with its constant table, and the texture loader that Ostrevin uses, with
// the SDK's names, layouts, flag values and signatures. Implemented in
// platform/d3dx9/ (math, HLSL through glslang, DDS and common image files).
#pragma once

#include <d3d9.h>
#include <math.h>

#define D3DX_DEFAULT ((UINT)-1)
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#define D3DX_FROM_FILE ((UINT)-3)
#define D3DX_PI ((FLOAT)3.141592654f)

#define _FACDD 0x876
#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, _FACDD, code)
#define D3DXERR_CANNOTMODIFYINDEXBUFFER MAKE_DDHRESULT(2900)
#define D3DXERR_INVALIDMESH MAKE_DDHRESULT(2901)
#define D3DXERR_CANNOTATTRSORT MAKE_DDHRESULT(2902)
#define D3DXERR_SKINNINGNOTSUPPORTED MAKE_DDHRESULT(2903)
#define D3DXERR_TOOMANYINFLUENCES MAKE_DDHRESULT(2904)
#define D3DXERR_INVALIDDATA MAKE_DDHRESULT(2905)
#define D3DXERR_LOADEDMESHASNODATA MAKE_DDHRESULT(2906)
#define D3DXERR_DUPLICATENAMEDFRAGMENT MAKE_DDHRESULT(2907)
#define D3DXERR_CANNOTREMOVELASTITEM MAKE_DDHRESULT(2908)

// ---------------------------------------------------------------- math

struct D3DXMATRIX;

struct D3DXVECTOR2 {
  D3DXVECTOR2() = default;
  D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}
  FLOAT x, y;
};

struct D3DXVECTOR3 : public D3DVECTOR {
  D3DXVECTOR3() = default;
  D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) {
    x = fx;
    y = fy;
    z = fz;
  }
  operator FLOAT*() { return &x; }
  operator const FLOAT*() const { return &x; }
  D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) {
    x += v.x, y += v.y, z += v.z;
    return *this;
  }
  D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) {
    x -= v.x, y -= v.y, z -= v.z;
    return *this;
  }
  D3DXVECTOR3& operator*=(FLOAT f) {
    x *= f, y *= f, z *= f;
    return *this;
  }
  D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
  D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
  D3DXVECTOR3 operator*(FLOAT f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
  D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
  bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
  bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
  D3DXVECTOR4() = default;
  D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
  operator FLOAT*() { return &x; }
  operator const FLOAT*() const { return &x; }
  bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
  bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }
  FLOAT x, y, z, w;
};

struct D3DXMATRIX : public D3DMATRIX {
  D3DXMATRIX() = default;
  explicit D3DXMATRIX(const FLOAT* pf) { memcpy(&_11, pf, sizeof(D3DMATRIX)); }
  D3DXMATRIX(const D3DMATRIX& mat) { memcpy(&_11, &mat, sizeof(D3DMATRIX)); }
  D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
             FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
    _11 = f11, _12 = f12, _13 = f13, _14 = f14;
    _21 = f21, _22 = f22, _23 = f23, _24 = f24;
    _31 = f31, _32 = f32, _33 = f33, _34 = f34;
    _41 = f41, _42 = f42, _43 = f43, _44 = f44;
  }
  FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
  FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }
  operator FLOAT*() { return &_11; }
  operator const FLOAT*() const { return &_11; }
  D3DXMATRIX& operator*=(const D3DXMATRIX& mat);
  D3DXMATRIX operator*(const D3DXMATRIX& mat) const;
  bool operator==(const D3DXMATRIX& mat) const { return memcmp(this, &mat, sizeof(D3DXMATRIX)) == 0; }
  bool operator!=(const D3DXMATRIX& mat) const { return !(*this == mat); }
};

// A matrix on a 16-byte boundary, for aligned SIMD loads and stores.
struct alignas(16) _D3DXMATRIXA16 : public D3DXMATRIX {
  _D3DXMATRIXA16() = default;
  _D3DXMATRIXA16(const D3DMATRIX& mat) : D3DXMATRIX(mat) {}
  _D3DXMATRIXA16& operator=(const D3DXMATRIX& mat) {
    memcpy(&_11, &mat, sizeof(D3DMATRIX));
    return *this;
  }
};
typedef _D3DXMATRIXA16 D3DXMATRIXA16;

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* pOut);
BOOL WINAPI D3DXMatrixIsIdentity(const D3DXMATRIX* pM);
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX* pM);
D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* pOut, FLOAT* pDeterminant, const D3DXMATRIX* pM);
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* pOut, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* pOut, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* pOut, FLOAT Angle);
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                                      const D3DXVECTOR3* pUp);
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* pOut, FLOAT fovy, FLOAT Aspect, FLOAT zn, FLOAT zf);
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* pV);

// ------------------------------------------------------------- buffers

typedef const char* D3DXHANDLE;
typedef D3DXHANDLE* LPD3DXHANDLE;

struct ID3DXBuffer : public IUnknown {
  STDMETHOD_(LPVOID, GetBufferPointer)() PURE;
  STDMETHOD_(DWORD, GetBufferSize)() PURE;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);

// ------------------------------------------------------------- shaders

#define D3DXSHADER_DEBUG (1 << 0)
#define D3DXSHADER_SKIPVALIDATION (1 << 1)
#define D3DXSHADER_SKIPOPTIMIZATION (1 << 2)
#define D3DXSHADER_PACKMATRIX_ROWMAJOR (1 << 3)
#define D3DXSHADER_PACKMATRIX_COLUMNMAJOR (1 << 4)
#define D3DXSHADER_PARTIALPRECISION (1 << 5)
#define D3DXSHADER_FORCE_VS_SOFTWARE_NOOPT (1 << 6)
#define D3DXSHADER_FORCE_PS_SOFTWARE_NOOPT (1 << 7)
#define D3DXSHADER_NO_PRESHADER (1 << 8)
#define D3DXSHADER_AVOID_FLOW_CONTROL (1 << 9)
#define D3DXSHADER_PREFER_FLOW_CONTROL (1 << 10)
#define D3DXSHADER_ENABLE_BACKWARDS_COMPATIBILITY (1 << 12)
#define D3DXSHADER_IEEE_STRICTNESS (1 << 13)
#define D3DXSHADER_USE_LEGACY_D3DX9_31_DLL (1 << 16)
#define D3DXSHADER_OPTIMIZATION_LEVEL0 (1 << 14)
#define D3DXSHADER_OPTIMIZATION_LEVEL1 0
#define D3DXSHADER_OPTIMIZATION_LEVEL2 ((1 << 14) | (1 << 15))
#define D3DXSHADER_OPTIMIZATION_LEVEL3 (1 << 15)

typedef struct _D3DXMACRO {
  LPCSTR Name;
  LPCSTR Definition;
} D3DXMACRO, *LPD3DXMACRO;

typedef enum _D3DXINCLUDE_TYPE {
  D3DXINC_LOCAL = 0,
  D3DXINC_SYSTEM = 1,
  D3DXINC_FORCE_DWORD = 0x7fffffff
} D3DXINCLUDE_TYPE;

struct ID3DXInclude {
  STDMETHOD(Open)(D3DXINCLUDE_TYPE IncludeType, LPCSTR pFileName, LPCVOID pParentData, LPCVOID* ppData,
                  UINT* pBytes) PURE;
  STDMETHOD(Close)(LPCVOID pData) PURE;

 protected:
  ~ID3DXInclude() = default;
};
typedef ID3DXInclude* LPD3DXINCLUDE;

typedef enum _D3DXREGISTER_SET {
  D3DXRS_BOOL = 0,
  D3DXRS_INT4 = 1,
  D3DXRS_FLOAT4 = 2,
  D3DXRS_SAMPLER = 3,
  D3DXRS_FORCE_DWORD = 0x7fffffff
} D3DXREGISTER_SET;

typedef enum _D3DXPARAMETER_CLASS {
  D3DXPC_SCALAR = 0,
  D3DXPC_VECTOR = 1,
  D3DXPC_MATRIX_ROWS = 2,
  D3DXPC_MATRIX_COLUMNS = 3,
  D3DXPC_OBJECT = 4,
  D3DXPC_STRUCT = 5,
  D3DXPC_FORCE_DWORD = 0x7fffffff
} D3DXPARAMETER_CLASS;

typedef enum _D3DXPARAMETER_TYPE {
  D3DXPT_VOID = 0,
  D3DXPT_BOOL = 1,
  D3DXPT_INT = 2,
  D3DXPT_FLOAT = 3,
  D3DXPT_STRING = 4,
  D3DXPT_TEXTURE = 5,
  D3DXPT_TEXTURE1D = 6,
  D3DXPT_TEXTURE2D = 7,
  D3DXPT_TEXTURE3D = 8,
  D3DXPT_TEXTURECUBE = 9,
  D3DXPT_SAMPLER = 10,
  D3DXPT_SAMPLER1D = 11,
  D3DXPT_SAMPLER2D = 12,
  D3DXPT_SAMPLER3D = 13,
  D3DXPT_SAMPLERCUBE = 14,
  D3DXPT_FORCE_DWORD = 0x7fffffff
} D3DXPARAMETER_TYPE;

typedef struct _D3DXCONSTANTTABLE_DESC {
  LPCSTR Creator;
  DWORD Version;
  UINT Constants;
} D3DXCONSTANTTABLE_DESC;

typedef struct _D3DXCONSTANT_DESC {
  LPCSTR Name;
  D3DXREGISTER_SET RegisterSet;
  UINT RegisterIndex;
  UINT RegisterCount;
  D3DXPARAMETER_CLASS Class;
  D3DXPARAMETER_TYPE Type;
  UINT Rows;
  UINT Columns;
  UINT Elements;
  UINT StructMembers;
  UINT Bytes;
  LPCVOID DefaultValue;
} D3DXCONSTANT_DESC;

struct ID3DXConstantTable : public ID3DXBuffer {
  STDMETHOD(GetDesc)(D3DXCONSTANTTABLE_DESC* pDesc) PURE;
  STDMETHOD(GetConstantDesc)(D3DXHANDLE hConstant, D3DXCONSTANT_DESC* pConstantDesc, UINT* pCount) PURE;
  STDMETHOD_(UINT, GetSamplerIndex)(D3DXHANDLE hConstant) PURE;
  STDMETHOD_(D3DXHANDLE, GetConstant)(D3DXHANDLE hConstant, UINT Index) PURE;
  STDMETHOD_(D3DXHANDLE, GetConstantByName)(D3DXHANDLE hConstant, LPCSTR pName) PURE;
  STDMETHOD_(D3DXHANDLE, GetConstantElement)(D3DXHANDLE hConstant, UINT Index) PURE;
  STDMETHOD(SetDefaults)(LPDIRECT3DDEVICE9 pDevice) PURE;
  STDMETHOD(SetValue)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, LPCVOID pData, UINT Bytes) PURE;
  STDMETHOD(SetBool)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, BOOL b) PURE;
  STDMETHOD(SetBoolArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const BOOL* pb, UINT Count) PURE;
  STDMETHOD(SetInt)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, INT n) PURE;
  STDMETHOD(SetIntArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const INT* pn, UINT Count) PURE;
  STDMETHOD(SetFloat)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, FLOAT f) PURE;
  STDMETHOD(SetFloatArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const FLOAT* pf, UINT Count) PURE;
  STDMETHOD(SetVector)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXVECTOR4* pVector) PURE;
  STDMETHOD(SetVectorArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXVECTOR4* pVector,
                            UINT Count) PURE;
  STDMETHOD(SetMatrix)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix) PURE;
  STDMETHOD(SetMatrixArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix,
                            UINT Count) PURE;
  STDMETHOD(SetMatrixPointerArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX** ppMatrix,
                                   UINT Count) PURE;
  STDMETHOD(SetMatrixTranspose)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                const D3DXMATRIX* pMatrix) PURE;
  STDMETHOD(SetMatrixTransposeArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant, const D3DXMATRIX* pMatrix,
                                     UINT Count) PURE;
  STDMETHOD(SetMatrixTransposePointerArray)(LPDIRECT3DDEVICE9 pDevice, D3DXHANDLE hConstant,
                                            const D3DXMATRIX** ppMatrix, UINT Count) PURE;
};
typedef ID3DXConstantTable* LPD3DXCONSTANTTABLE;

HRESULT WINAPI D3DXCompileShader(LPCSTR pSrcData, UINT srcDataLen, const D3DXMACRO* pDefines,
                                 LPD3DXINCLUDE pInclude, LPCSTR pFunctionName, LPCSTR pProfile, DWORD Flags,
                                 LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs,
                                 LPD3DXCONSTANTTABLE* ppConstantTable);
HRESULT WINAPI D3DXGetShaderConstantTable(const DWORD* pFunction, LPD3DXCONSTANTTABLE* ppConstantTable);

// ------------------------------------------------------------ textures

#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_DITHER (1 << 19)

HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9* ppTexture);
HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                 LPDIRECT3DTEXTURE9* ppTexture);
#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileW
