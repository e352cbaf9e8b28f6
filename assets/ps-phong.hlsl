// Phong lighting, pixel stage (ps_2_0, entry "pixel_shader_main").
// Per pixel: ambient + diffuse (texture x vertex colour x N.L) + Blinn
// specular, with a faint procedural ripple on the normal through the
// tangent frame. Everything comes in through the interpolants; the only
// resource is the texture on stage 0.

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
static const float kBumpFrequency = 40.0;

float4 pixel_shader_main(PS_INPUT input) : COLOR0 {
  float4 texel = tex2D(diffuseMap, input.texCoord);
  float3 tint = input.color.rgb;
  float3 albedo = texel.rgb * tint;

  // A gentle ripple along u and v, applied in the tangent plane.
  float2 ripple = sin(input.texCoord * kBumpFrequency) * kBumpStrength;
  float3 n = normalize(input.normal);
  n = normalize(n + ripple.x * normalize(input.tangent) + ripple.y * normalize(input.bitangent));

  float3 l = normalize(input.toLight);
  float3 v = normalize(input.toEye);
  float3 h = normalize(l + v);
  float nDotL = saturate(dot(n, l));
  float nDotH = saturate(dot(n, h));
  float specular = (nDotL > 0.0) ? pow(nDotH, kShininess) * kSpecular : 0.0;

  // The ambient term keeps the part's tint visible even without a texture
  // (an unbound stage samples black).
  float3 ambient = kAmbient * (0.5 * tint + 0.5 * albedo);
  float fill = saturate(dot(n, v)) * kFill;
  float3 colour = ambient + albedo * (nDotL + fill) + specular.xxx;
  return float4(saturate(colour), texel.a * input.color.a);
}
