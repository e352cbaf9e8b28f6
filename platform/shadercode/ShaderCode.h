// The layer's shader code: what D3DXCompileShader puts in its code buffer and
// what IDirect3DDevice9::CreateVertexShader / CreatePixelShader take.
//
// Layout (little-endian 32-bit words, DWORD aligned like Direct3D bytecode):
//   ShaderCodeHeader
//   constant records (ShaderCodeConstant) and their names
//   the constants' default values (register data)
//   SPIR-V words (glslang's HLSL front end, HLSL functionality1 semantics)
// The device turns the SPIR-V into GLSL with TranslateShaderToGlsl.
#pragma once

#include <d3dx9.h>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ostrevin {

constexpr uint32_t kShaderCodeMagic = 0x5650534F;  // "OSPV"
constexpr uint32_t kShaderCodeVersion = 3;

enum class ShaderStage : uint32_t { Vertex = 0, Pixel = 1 };

// One entry of the constant table, as ID3DXConstantTable reports it. A
// struct's entry (D3DXPC_STRUCT: rows 1, columns its scalars) is followed by
// its members', named by their path ("s.member", "s[1].member"), each with
// registers of its own inside the struct's range.
struct ShaderConstant {
  std::string name;
  D3DXREGISTER_SET registerSet = D3DXRS_FLOAT4;
  uint32_t registerIndex = 0;
  uint32_t registerCount = 0;
  D3DXPARAMETER_CLASS parameterClass = D3DXPC_VECTOR;
  D3DXPARAMETER_TYPE parameterType = D3DXPT_FLOAT;
  uint32_t rows = 1;
  uint32_t columns = 4;
  uint32_t elements = 1;
  uint32_t structMembers = 0;
  // The initialiser's value as the registers hold it (registerCount x 4
  // words: floats for FLOAT4, ints for INT4; one BOOL a register for
  // BOOL), what D3DXCONSTANT_DESC::DefaultValue points at; empty when the
  // declaration has none.
  std::vector<uint32_t> defaultValue;
};

// The decoded form of a code buffer.
struct ShaderCode {
  ShaderStage stage = ShaderStage::Vertex;
  uint32_t majorVersion = 2;  // from the profile, e.g. vs_2_0 -> 2, 0
  uint32_t minorVersion = 0;
  std::vector<ShaderConstant> constants;
  std::vector<uint32_t> spirv;
};

// Serialises to the DWORD stream described above.
std::vector<uint32_t> EncodeShaderCode(const ShaderCode& code);
// Validates and decodes; `maxBytes` bounds the read when the caller knows the
// buffer size (0: trust the header's size field). False for anything malformed.
bool DecodeShaderCode(const DWORD* pFunction, size_t maxBytes, ShaderCode* out);
// Size in bytes recorded in the header (for GetFunction); 0 when not ours.
uint32_t ShaderCodeSize(const DWORD* pFunction);

// The fixed generic attribute location of the common vertex semantics
// (position, normals, texture coordinates, colours, tangent, binormal); -1
// for the rest. A translated vertex shader puts these inputs there and its
// other inputs at free locations: GlslShader::attributes has them all.
int VertexAttributeLocation(BYTE usage, BYTE usageIndex);

// A constant as the GLSL program sees it. The device uploads
// `registerCount` registers starting at `registerIndex` from the register
// file of `registerSet` (float4, int4 or bool registers, a bool register
// holding one value), converted to the uniform's component type.
// Each array element takes `rows` consecutive registers, of which the first
// `columns` floats are used: pack rows x columns floats per element (register
// by register) and upload
//   vectors/scalars (rows 1): glUniform{columns}fv(location, elements, data);
//   matrices: glUniformMatrix{columns}fv(location, elements, transpose, data)
//     (square; a non-square one is glUniformMatrix{columns}x{rows}fv when
//     transposed, glUniformMatrix{rows}x{columns}fv when not).
// HLSL's default column_major matrices have transpose = true: each register
// holds a column of the D3DX matrix, which is a row of the GLSL matrix.
struct GlslUniform {
  std::string glslName;      // for glGetUniformLocation, e.g. "vs_c.mWorld"
  uint32_t registerIndex = 0;
  uint32_t registerCount = 0;
  uint32_t rows = 1;         // registers per element: 1 for scalars and vectors, 2..4 for matrices
  uint32_t columns = 4;      // floats used per register (vectors: 1..4)
  uint32_t elements = 1;     // array length
  bool matrix = false;       // upload with glUniformMatrix*fv
  bool transpose = false;    // the transpose flag of that upload
  D3DXREGISTER_SET registerSet = D3DXRS_FLOAT4;
  // GLSL components: 'f' float, 'i' int (glUniform*iv), 'u' uint and 'b' an
  // HLSL bool, which GLSL holds as a uint 0 or 1 (glUniform*uiv).
  char component = 'f';
};

struct GlslSampler {
  std::string glslName;      // "vs_"/"ps_" + the HLSL name; arrays: one entry per element, "name[i]"
  uint32_t samplerIndex = 0; // texture stage / unit
  bool planar = true;        // read as a 1-D or 2-D texture; false for volume and cube samplers
};

// A vertex shader input: the declaration element of this (usage, usage
// index) feeds this generic attribute location.
struct GlslAttribute {
  BYTE usage = 0;
  BYTE usageIndex = 0;
  uint32_t location = 0;
};

struct GlslShader {
  ShaderStage stage = ShaderStage::Vertex;
  std::string source;  // GLSL 3.30 core
  std::vector<GlslUniform> uniforms;
  std::vector<GlslSampler> samplers;
  std::vector<GlslAttribute> attributes;  // vertex shaders: one per input
  bool writesPointSize = false;           // vertex shaders: PSIZE is written (gl_PointSize)
};

// The members of the SPIR-V's global constant block that its code reads,
// by member index. glslang keeps every global in the block and drops only
// the functions the entry point never calls; the rest count as read.
std::set<uint32_t> UsedBlockMembers(const std::vector<uint32_t>& spirv);
// How the code reads a member of the global constant block (glslang keeps an
// HLSL bool there as a uint that each read compares with zero).
struct BlockMemberUse {
  bool boolean = true;      // every read is compared with zero at once: an HLSL bool
  bool branchOnly = true;   // ... and the comparison only decides branches (an `if`)
  bool loopCountOnly = true;  // every read only bounds a loop (compared by its condition)
};
std::map<uint32_t, BlockMemberUse> BlockMemberUses(const std::vector<uint32_t>& spirv);
// The variables the code loads from or indexes, by SPIR-V id: a sampler
// outside this set is never read.
std::set<uint32_t> ReadVariables(const std::vector<uint32_t>& spirv);

// Where a vertex shader takes the element (usage, usage index): -1 when it
// has no such input. POSITIONT counts as POSITION.
int GlslAttributeLocation(const GlslShader& vertexShader, BYTE usage, BYTE usageIndex);

// What the device needs of the GLSL besides the shader code: the device's
// own fixed needs and the render and sampler states a program is linked
// for. Each combination is one GLSL text, which the translator writes in
// one go; the device makes each combination it meets once and keeps it.
struct GlslOptions {
  // When the context has no glClipControl, rewrite z from [0, w] to [-w, w].
  bool remapDepth = false;
  // "#line N 1" before the statements of HLSL line N, where the SPIR-V
  // says (glslang's debug information): messages about the GLSL then name
  // lines of the HLSL source, as source string 1.
  bool lineDirectives = false;
  // D3DSHADE_FLAT: the colour varyings (COLORn) are flat, the first
  // vertex's value (vertex outputs and pixel inputs alike).
  bool flatColours = false;
  // Pixel shaders. D3DSAMP_SRGBTEXTURE by sampler index: reads of these
  // samplers are decoded from sRGB to linear.
  uint32_t srgbSamplers = 0;
  // D3DRS_SRGBWRITEENABLE: colour output 0 is encoded to sRGB.
  bool srgbWrite = false;
  // D3DRS_ALPHAFUNC of an enabled alpha test (0: none, D3DCMP_ALWAYS
  // likewise): colour output 0's alpha, as the target stores it (0..255),
  // against the float uniform kAlphaRefUniform, which the device sets to
  // D3DRS_ALPHAREF; the pixel is discarded when the test fails.
  uint32_t alphaFunc = 0;
  // GLSL ES 3.00 (WebGL2) instead of GLSL 3.30: "#version 300 es", high
  // precision by default. ES has no layout qualifiers on gl_FragCoord, so a
  // pixel shader that reads VPOS (or a POSITION input) does not translate.
  bool es300 = false;
  // Vertex shaders. The inputs fed by D3DCOLOR elements where the context
  // has no GL_BGRA attribute size (ES): by D3DDECLUSAGE, a bit per usage
  // index. Their bytes arrive as a plain normalised vec4 of B, G, R, A, and
  // the shader reads them swapped back (.zyxw).
  std::array<uint16_t, MAXD3DDECLUSAGE + 1> swappedColourInputs{};
  bool operator==(const GlslOptions& o) const {
    return es300 == o.es300 && remapDepth == o.remapDepth && lineDirectives == o.lineDirectives && flatColours == o.flatColours &&
           srgbSamplers == o.srgbSamplers && srgbWrite == o.srgbWrite && alphaFunc == o.alphaFunc &&
           swappedColourInputs == o.swappedColourInputs;
  }
};

// The alpha test's reference (a float uniform declared when there is a test).
constexpr const char* kAlphaRefUniform = "ostrevin_alpharef";

// Name of the vec4 uniform that every translated vertex shader declares; the
// device sets it to (1/width, -1/height, 0, 0) of the viewport, and the shader
// adds xy * w to gl_Position (Direct3D 9 pixel centres).
constexpr const char* kPositionFixupUniform = "ostrevin_posfix";

// SPIR-V -> GLSL with SPIRV-Cross. Vertex inputs get the locations of
// VertexAttributeLocation, or free ones; vertex outputs and pixel inputs are
// vec4s named from their semantics, so that they meet by semantic whatever
// size each stage declares; POSITION becomes gl_Position; the pixel stage's
// VPOS is the pixel's integer coordinates from the top left and VFACE is +1
// on front faces (clockwise), -1 on back faces.
bool TranslateShaderToGlsl(const ShaderCode& code, const GlslOptions& options, GlslShader* out,
                           std::string* error);

}  // namespace ostrevin
