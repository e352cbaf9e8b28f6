// Phong lighting, pixel stage (ps_2_0, entry "pixel_shader_main").
// Per pixel: ambient + diffuse (texture x vertex colour x N.L) + Blinn
// specular, with a faint procedural ripple on the normal through the
// tangent frame. Everything comes in through the interpolants; the only
// resource is the texture on stage 0.
//
// Budget (ps_2_0: 64 arithmetic + 32 texture slots), counted as the Windows
// compiler emits it; literals become def constants, which take no slot.
//   texld  texel, t0, s0                                   1 texture
//   ripple, u and v at once (float2 operations):
//     mad    phase = uv * f/2pi + 0.5                         1
//     frc    phase                                            1
//     add    phase - 0.5                 -> [-0.5, 0.5)       1
//     abs    |phase|                                          1
//     mad    A - 2A|phase|                                    1
//     mul    ripple = phase * (A - 2A|phase|)                 1
//   mad    N + ripple.x * T                                   1
//   mad    ... + ripple.y * B                                 1
//   nrm    n          (dp3 rsq mul)                           3
//   nrm    l                                                  3
//   nrm    v                                                  3
//   add    l + v                                              1
//   nrm    h                                                  3
//   dp3_sat nDotL, nDotH, nDotV                               3
//   pow    nDotH^24   (log mul exp)                           3
//   mul    x kSpecular                                        1
//   cmp    nDotL > 0 ? specular : 0                           1
//   mad    nDotL + nDotV * kFill                              1
//   mul    albedo = texel.rgb * colour.rgb                    1
//   mad    albedo * light + specular                          1
//   add    tint + albedo                                      1
//   mad_sat (tint + albedo) * kAmbient/2 + ...                1
//   mul    alpha = texel.a * colour.a                         1
//   mov    oC0                                                1
//                                                  total     37 arithmetic
// 27 slots to spare. The ripple is a sine wave built from two parabolas per
// period (within 0.06 of sin): sin() itself would cost two sincos of 8 slots
// each plus 3 of range reduction, since u * 40 is not within [-pi, pi]. The
// vertex stage hands over a unit tangent frame (re-normalising each vector
// here would cost 9 slots), so the combined normal is normalised once.

sampler2D diffuseMap : register(s0);

struct PS_INPUT {
  float2 texCoord : TEXCOORD0;
  float3 normal : TEXCOORD1;
  float3 tangent : TEXCOORD2;
  float3 bitangent : TEXCOORD3;
  float3 toLight : TEXCOORD4;
  float3 toEye : TEXCOORD5;
  float4 color : COLOR0;
};

static const float kAmbient = 0.22;
static const float kFill = 0.35;  // a soft light from the eye, so faces turned from the lamp keep their form
static const float kSpecular = 0.45;
static const float kShininess = 24.0;
static const float kBumpStrength = 0.06;
static const float kBumpFrequency = 40.0;  // radians per unit of u and v
static const float kTwoPi = 6.2831853;

float4 pixel_shader_main(PS_INPUT input) : COLOR0 {
  float4 texel = tex2D(diffuseMap, input.texCoord);
  float3 tint = input.color.rgb;
  float3 albedo = texel.rgb * tint;

  // A gentle ripple along u and v, applied in the tangent plane:
  // kBumpStrength * sin(kBumpFrequency * uv), the sine taken as
  // 8p(1 - 2|p|) over one period p in [-0.5, 0.5).
  float2 phase = frac(input.texCoord * (kBumpFrequency / kTwoPi) + 0.5) - 0.5;
  float2 ripple = phase * (8.0 * kBumpStrength - 16.0 * kBumpStrength * abs(phase));
  float3 n = normalize(input.normal + ripple.x * input.tangent + ripple.y * input.bitangent);

  float3 l = normalize(input.toLight);
  float3 v = normalize(input.toEye);
  float3 h = normalize(l + v);
  float nDotL = saturate(dot(n, l));
  float nDotH = saturate(dot(n, h));
  float nDotV = saturate(dot(n, v));
  float specular = (nDotL > 0.0) ? pow(nDotH, kShininess) * kSpecular : 0.0;

  // The ambient term keeps the part's tint visible even without a texture
  // (an unbound stage samples black).
  float3 light = nDotL + nDotV * kFill;
  float3 colour = (tint + albedo) * (0.5 * kAmbient) + (albedo * light + specular);
  return float4(saturate(colour), texel.a * input.color.a);
}
