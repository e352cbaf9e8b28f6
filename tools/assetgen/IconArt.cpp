#include "IconArt.h"

#include <math.h>

namespace {

struct Vec {
  float x, y;
};

struct Colour {
  float r, g, b;
};

// The emblem in unit coordinates (0..1, y down).
constexpr float kMargin = 0.045f;       // transparent border around the square
constexpr float kCornerRadius = 0.20f;  // of the rounded square
constexpr Colour kTop = {0.180f, 0.208f, 0.267f};
constexpr Colour kBottom = {0.086f, 0.102f, 0.137f};
constexpr Colour kOrange = {0.949f, 0.541f, 0.133f};
constexpr Colour kOrangeLight = {1.000f, 0.690f, 0.310f};
constexpr Colour kBase = {0.510f, 0.549f, 0.620f};
constexpr Colour kJoint = {0.110f, 0.125f, 0.165f};

constexpr Vec kShoulder = {0.32f, 0.74f};
constexpr Vec kElbow = {0.47f, 0.43f};
constexpr Vec kWrist = {0.73f, 0.31f};
constexpr Vec kTip = {0.76f, 0.55f};

float RoundedBoxDistance(Vec p, float lo, float hi, float radius) {
  const float cx = (lo + hi) * 0.5f;
  const float half = (hi - lo) * 0.5f - radius;
  const float qx = fabsf(p.x - cx) - half;
  const float qy = fabsf(p.y - cx) - half;
  const float ox = qx > 0.0f ? qx : 0.0f;
  const float oy = qy > 0.0f ? qy : 0.0f;
  const float inside = qx > qy ? qx : qy;
  return sqrtf(ox * ox + oy * oy) + (inside < 0.0f ? inside : 0.0f) - radius;
}

float SegmentDistance(Vec p, Vec a, Vec b) {
  const float abx = b.x - a.x, aby = b.y - a.y;
  const float apx = p.x - a.x, apy = p.y - a.y;
  float t = (apx * abx + apy * aby) / (abx * abx + aby * aby);
  t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
  const float dx = apx - t * abx, dy = apy - t * aby;
  return sqrtf(dx * dx + dy * dy);
}

float PointDistance(Vec p, Vec a) {
  const float dx = p.x - a.x, dy = p.y - a.y;
  return sqrtf(dx * dx + dy * dy);
}

Colour Mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The colour of one sample point, or false outside the emblem.
bool Sample(Vec p, float pixel, Colour* out) {
  if (RoundedBoxDistance(p, kMargin, 1.0f - kMargin, kCornerRadius) > 0.0f) {
    return false;
  }
  Colour c = Mix(kTop, kBottom, (p.y - kMargin) / (1.0f - 2.0f * kMargin));
  // The base plate the arm stands on.
  if (p.y > 0.76f && p.y < 0.84f && p.x > 0.18f && p.x < 0.50f) {
    c = kBase;
  }
  // Joint rims are at least a pixel wide so small sizes keep the shape.
  const float rim = pixel > 0.02f ? pixel : 0.02f;
  const float lower = SegmentDistance(p, kShoulder, kElbow);
  const float upper = SegmentDistance(p, kElbow, kWrist);
  const float hand = SegmentDistance(p, kWrist, kTip);
  if (hand < 0.045f) c = kOrangeLight;
  if (upper < 0.060f) c = kOrange;
  if (lower < 0.080f) c = kOrange;
  if (PointDistance(p, kWrist) < 0.075f) c = kOrange;
  if (PointDistance(p, kElbow) < 0.095f) c = kOrange;
  if (PointDistance(p, kShoulder) < 0.105f) c = kOrange;
  if (pixel < 0.05f) {
    // Axles, dropped at 16 pixels where they would only smear.
    if (PointDistance(p, kShoulder) < 0.105f - rim - 0.015f) c = kJoint;
    if (PointDistance(p, kElbow) < 0.095f - rim - 0.015f) c = kJoint;
    if (PointDistance(p, kWrist) < 0.075f - rim - 0.01f) c = kJoint;
  }
  *out = c;
  return true;
}

uint8_t ToByte(float v) {
  const float s = v * 255.0f + 0.5f;
  return static_cast<uint8_t>(s < 0.0f ? 0.0f : (s > 255.0f ? 255.0f : s));
}

}  // namespace

void DrawOstrevinIcon(int size, uint8_t* rgba) {
  constexpr int kSub = 4;  // 4x4 samples per pixel
  const float pixel = 1.0f / static_cast<float>(size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      float r = 0.0f, g = 0.0f, b = 0.0f;
      int covered = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const Vec p = {(static_cast<float>(x) + (sx + 0.5f) / kSub) * pixel,
                         (static_cast<float>(y) + (sy + 0.5f) / kSub) * pixel};
          Colour c;
          if (Sample(p, pixel, &c)) {
            r += c.r;
            g += c.g;
            b += c.b;
            ++covered;
          }
        }
      }
      uint8_t* out = rgba + (static_cast<size_t>(y) * size + x) * 4;
      if (covered == 0) {
        out[0] = out[1] = out[2] = out[3] = 0;
        continue;
      }
      const float n = static_cast<float>(covered);
      out[0] = ToByte(r / n);
      out[1] = ToByte(g / n);
      out[2] = ToByte(b / n);
      out[3] = ToByte(n / (kSub * kSub));
    }
  }
}
