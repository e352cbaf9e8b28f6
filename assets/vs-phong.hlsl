// Phong lighting, vertex stage (vs_2_0, entry "main").
// Transforms to clip space and hands the pixel stage everything it lights
// with: the world-space tangent frame, the vectors to the light and to the
// eye, the texture coordinate and the vertex colour (the part's tint).
//
// Budget (vs_2_0: 256 instruction slots), counted as the Windows compiler
// emits it:
//   world position: mov w = 1, 4 x dp4                         5
//   clip position: 4 x dp4 into oPos                           4
//   normal, tangent, bitangent: 3 x m3x3 (dp3 each row)        9
//   their normalisation: 3 x nrm (dp3 rsq mul)                 9
//   to light, to eye: 2 x add                                  2
//   texture coordinate, colour: 2 x mov                        2
//                                                  total      31

float4x4 mViewProjection;  // world -> clip
float4x4 mWorld;           // object -> world
float4 vLight;             // light position in world space (w unused)
float4 vCam;               // eye position in world space, w = 1

struct VS_INPUT {
  float3 position : POSITION;
  float3 normal : NORMAL0;
  float3 tangent : NORMAL1;
  float3 bitangent : NORMAL2;
  float4 texCoord : TEXCOORD0;  // (u, v, 0, 0)
  float4 color : COLOR0;
};

struct VS_OUTPUT {
  float4 position : POSITION;
  float2 texCoord : TEXCOORD0;
  float3 normal : TEXCOORD1;     // world space, unit length at the vertex
  float3 tangent : TEXCOORD2;
  float3 bitangent : TEXCOORD3;
  float3 toLight : TEXCOORD4;    // surface -> light, world space
  float3 toEye : TEXCOORD5;      // surface -> eye, world space
  float4 color : COLOR0;
};

VS_OUTPUT main(VS_INPUT input) {
  VS_OUTPUT output;
  float4 worldPosition = mul(float4(input.position, 1.0), mWorld);
  output.position = mul(worldPosition, mViewProjection);

  // The world matrices are rotations, translations and uniform scales, so
  // the upper 3x3 transforms directions as well as normals. The frame is
  // handed over at unit length, so the pixel stage normalises only the
  // rippled normal it builds from it.
  float3x3 toWorld = (float3x3)mWorld;
  output.normal = normalize(mul(input.normal, toWorld));
  output.tangent = normalize(mul(input.tangent, toWorld));
  output.bitangent = normalize(mul(input.bitangent, toWorld));

  output.toLight = vLight.xyz - worldPosition.xyz;
  output.toEye = vCam.xyz - worldPosition.xyz;
  output.texCoord = input.texCoord.xy;
  output.color = input.color;
  return output;
}
