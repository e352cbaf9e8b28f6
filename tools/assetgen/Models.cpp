// The demo's three models: one articulated piece, seen from the demo camera.
//
//   bottom: a fixed pedestal (base plate, column, clevis) with its joint at
//           y = 10, a horizontal axle along Z;
//   middle: a tapered beam with rounded ends and raised web panels, from its
//           pivot (y = 0) to its joint at y = 16;
//   top:    a gripper hanging from its pivot (y = 0): clevis, wrist, palm
//           and two fingers reaching to y = 10.
//
// Every solid is a rounded prism: the convex hull of a few circles in a
// plane, extruded along that plane's normal with chamfered edges. Hubs,
// bolts, nuts, beams, rounded boxes and fingers all come out of that one
// shape. Bytes are deterministic: fixed sample counts, float arithmetic
// only, no clock or randomness.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "assetgen/Generators.h"
#include "mesh/GameModel.h"

namespace {

typedef D3DXVECTOR3 Vec3;

// One tile of the 512x512 panel texture covers this many units.
const float kTileSize = 8.0f;
const double kPi = 3.14159265358979323846;

const D3DCOLOR kPedestal = 0xFF5A6068;      // dark grey cast iron
const D3DCOLOR kPedestalLight = 0xFF6C727A;
const D3DCOLOR kArm = 0xFFFF9628;           // industrial orange (the shader multiplies the texture by it)
const D3DCOLOR kArmWeb = 0xFFE07E20;
const D3DCOLOR kHead = 0xFFFFC030;          // warm yellow
const D3DCOLOR kSteel = 0xFFD2D6DC;         // bright steel: axles, nuts, bushings
const D3DCOLOR kDarkSteel = 0xFF858B93;     // fingers, wrist

float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
  return Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
Vec3 Normalize(const Vec3& v) {
  const float length = std::sqrt(Dot(v, v));
  return length > 0.0f ? v * (1.0f / length) : Vec3(0.0f, 0.0f, 0.0f);
}

// Where a prism lies: its plane's origin and axes in the part's space. The
// circles are in (x, y); the extrusion runs along z.
struct Frame {
  Vec3 origin, x, y, z;
  Vec3 Point(float px, float py, float pz) const { return origin + x * px + y * py + z * pz; }
  Vec3 Direction(float dx, float dy, float dz) const { return Normalize(x * dx + y * dy + z * dz); }
};

// Circles in the frame's XY plane, extrusion along Z (the part's Z axis).
Frame FrontFrame(float z = 0.0f) {
  return Frame{Vec3(0.0f, 0.0f, z), Vec3(1.0f, 0.0f, 0.0f), Vec3(0.0f, 1.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f)};
}
// Circles in the part's XZ plane, extrusion upward along Y.
Frame UpFrame() {
  return Frame{Vec3(0.0f, 0.0f, 0.0f), Vec3(1.0f, 0.0f, 0.0f), Vec3(0.0f, 0.0f, 1.0f), Vec3(0.0f, 1.0f, 0.0f)};
}

struct Circle {
  float x, y, r;
};

class PartBuilder {
 public:
  // Starts a new sub-mesh; everything added until the next one is drawn in `color`.
  void BeginSubMesh(D3DCOLOR color) {
    m_subMeshes.emplace_back();
    m_subMeshes.back().m_fileWord = static_cast<DWORD>(m_subMeshes.size() - 1);
    m_color = color;
  }

  // The convex hull of `circles`, from z0 to z1 along the frame's z, its
  // edges chamfered by `bevel` (less than every radius). `segments` samples
  // of the outline, by direction.
  void RoundedPrism(const Frame& frame, const std::vector<Circle>& circles, float z0, float z1, float bevel,
                    int segments) {
    struct OutlinePoint {
      float x, y;    // on the outline
      float ix, iy;  // on the outline moved in by the bevel
      float nx, ny;  // outward normal
      float s;       // arc length from the first point
    };
    std::vector<OutlinePoint> outline;
    for (int i = 0; i <= segments; ++i) {
      const double angle = 2.0 * kPi * (i % segments) / segments;
      const float dx = static_cast<float>(std::cos(angle));
      const float dy = static_cast<float>(std::sin(angle));
      size_t best = 0;
      float bestSupport = -1e30f;
      for (size_t c = 0; c < circles.size(); ++c) {
        const float support = circles[c].x * dx + circles[c].y * dy + circles[c].r;
        if (support > bestSupport + 1e-6f) {
          bestSupport = support;
          best = c;
        }
      }
      const Circle& c = circles[best];
      OutlinePoint p;
      p.x = c.x + c.r * dx;
      p.y = c.y + c.r * dy;
      p.ix = c.x + (c.r - bevel) * dx;
      p.iy = c.y + (c.r - bevel) * dy;
      p.nx = dx;
      p.ny = dy;
      p.s = 0.0f;
      if (!outline.empty()) {
        const OutlinePoint& q = outline.back();
        p.s = q.s + std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y));
      }
      outline.push_back(p);
    }

    const float zLow = z0 + bevel;
    const float zHigh = z1 - bevel;
    const float diagonal = static_cast<float>(1.0 / std::sqrt(2.0));
    // The side wall, then the two chamfers: separate strips, so each keeps
    // its own normal along the edges between them.
    for (int band = 0; band < 3; ++band) {
      WORD first = 0;
      for (size_t i = 0; i < outline.size(); ++i) {
        const OutlinePoint& p = outline[i];
        Vec3 a, b, normal;
        float va, vb;
        if (band == 0) {
          a = frame.Point(p.x, p.y, zLow);
          b = frame.Point(p.x, p.y, zHigh);
          normal = frame.Direction(p.nx, p.ny, 0.0f);
          va = zLow;
          vb = zHigh;
        } else if (band == 1) {
          a = frame.Point(p.x, p.y, zHigh);
          b = frame.Point(p.ix, p.iy, z1);
          normal = frame.Direction(p.nx * diagonal, p.ny * diagonal, diagonal);
          va = zHigh;
          vb = z1;
        } else {
          a = frame.Point(p.ix, p.iy, z0);
          b = frame.Point(p.x, p.y, zLow);
          normal = frame.Direction(p.nx * diagonal, p.ny * diagonal, -diagonal);
          va = z0;
          vb = zLow;
        }
        const Vec3 tangent = frame.Direction(-p.ny, p.nx, 0.0f);
        const Vec3 bitangent = frame.Direction(0.0f, 0.0f, -1.0f);
        const WORD ia = AddVertex(a, normal, tangent, bitangent, p.s / kTileSize, -va / kTileSize);
        AddVertex(b, normal, tangent, bitangent, p.s / kTileSize, -vb / kTileSize);
        if (i == 0) {
          first = ia;
        } else {
          Quad(static_cast<WORD>(ia - 2), static_cast<WORD>(ia - 1), static_cast<WORD>(ia + 1), ia);
        }
      }
      (void)first;
    }

    // Flat caps over the moved-in outline, fanned from its centre.
    for (int side = 0; side < 2; ++side) {
      const float z = side == 0 ? z1 : z0;
      const Vec3 normal = frame.Direction(0.0f, 0.0f, side == 0 ? 1.0f : -1.0f);
      const Vec3 tangent = frame.Direction(1.0f, 0.0f, 0.0f);
      const Vec3 bitangent = frame.Direction(0.0f, -1.0f, 0.0f);
      float cx = 0.0f, cy = 0.0f;
      for (size_t i = 0; i + 1 < outline.size(); ++i) {
        cx += outline[i].ix;
        cy += outline[i].iy;
      }
      cx /= static_cast<float>(outline.size() - 1);
      cy /= static_cast<float>(outline.size() - 1);
      const WORD centre = AddVertex(frame.Point(cx, cy, z), normal, tangent, bitangent, cx / kTileSize, -cy / kTileSize);
      for (size_t i = 0; i < outline.size(); ++i) {
        const OutlinePoint& p = outline[i];
        AddVertex(frame.Point(p.ix, p.iy, z), normal, tangent, bitangent, p.ix / kTileSize, -p.iy / kTileSize);
      }
      for (size_t i = 0; i + 1 < outline.size(); ++i) {
        const WORD a = static_cast<WORD>(centre + 1 + i);
        if (side == 0) {
          Triangle(centre, static_cast<WORD>(a + 1), a);
        } else {
          Triangle(centre, a, static_cast<WORD>(a + 1));
        }
      }
    }
  }

  // A cylinder: one circle.
  void Cylinder(const Frame& frame, float x, float y, float radius, float z0, float z1, float bevel, int segments) {
    RoundedPrism(frame, {{x, y, radius}}, z0, z1, bevel, segments);
  }

  // A box with rounded vertical edges of `corner` radius.
  void RoundedBox(const Frame& frame, float x0, float y0, float x1, float y1, float z0, float z1, float corner,
                  float bevel, int segments) {
    RoundedPrism(frame,
                 {{x0 + corner, y0 + corner, corner},
                  {x1 - corner, y0 + corner, corner},
                  {x1 - corner, y1 - corner, corner},
                  {x0 + corner, y1 - corner, corner}},
                 z0, z1, bevel, segments);
  }

  // A hexagon nut (or bolt head) of across-corners radius `radius`.
  void HexNut(const Frame& frame, float x, float y, float radius, float z0, float z1, int segments) {
    std::vector<Circle> corners;
    const float round = radius * 0.12f;
    for (int i = 0; i < 6; ++i) {
      const double angle = kPi / 6.0 + kPi / 3.0 * i;
      corners.push_back({x + static_cast<float>(std::cos(angle)) * (radius - round),
                         y + static_cast<float>(std::sin(angle)) * (radius - round), round});
    }
    RoundedPrism(frame, corners, z0, z1, round * 0.6f, segments);
  }

  const std::vector<CSubMesh>& SubMeshes() const { return m_subMeshes; }

  size_t Triangles() const {
    size_t n = 0;
    for (const CSubMesh& s : m_subMeshes) n += s.m_indices.size() / 3;
    return n;
  }

 private:
  WORD AddVertex(const Vec3& position, const Vec3& normal, const Vec3& tangent, const Vec3& bitangent, float u,
                 float v) {
    CSubMesh& s = m_subMeshes.back();
    CVertex vertex;
    vertex.m_position = position;
    vertex.m_normal = normal;
    // Tangent and bitangent kept at right angles to the normal.
    const Vec3 t = Normalize(tangent - normal * Dot(normal, tangent));
    Vec3 b = Normalize(Cross(normal, t));
    if (Dot(b, bitangent) < 0.0f) b = -b;
    vertex.m_normal1 = t;
    vertex.m_normal2 = b;
    vertex.m_texCoord = D3DXVECTOR4(u, v, 0.0f, 0.0f);
    vertex.m_color = m_color;
    s.m_vertices.push_back(vertex);
    return static_cast<WORD>(s.m_vertices.size() - 1);
  }
  void Triangle(WORD a, WORD b, WORD c) {
    std::vector<WORD>& indices = m_subMeshes.back().m_indices;
    indices.push_back(a);
    indices.push_back(b);
    indices.push_back(c);
  }
  void Quad(WORD a, WORD b, WORD c, WORD d) {
    Triangle(a, b, c);
    Triangle(a, c, d);
  }

  std::vector<CSubMesh> m_subMeshes;
  D3DCOLOR m_color = 0xFFFFFFFF;
};

// Axle and nuts of a joint at (0, y): through both clevis cheeks.
void Axle(PartBuilder* part, float y) {
  part->Cylinder(FrontFrame(), 0.0f, y, 1.25f, -3.3f, 3.3f, 0.22f, 32);
  part->HexNut(FrontFrame(), 0.0f, y, 1.8f, 2.6f, 3.05f, 30);
  part->HexNut(FrontFrame(), 0.0f, y, 1.8f, -3.05f, -2.6f, 30);
}

// Two clevis cheeks, the hull of `circles`, at |z| 1.65..2.6: either side of
// the middle arm's end and its bushing.
void Cheeks(PartBuilder* part, const std::vector<Circle>& circles) {
  part->RoundedPrism(FrontFrame(), circles, 1.65f, 2.6f, 0.2f, 44);
  part->RoundedPrism(FrontFrame(), circles, -2.6f, -1.65f, 0.2f, 44);
}

std::vector<CSubMesh> Bottom() {
  PartBuilder part;
  const Frame up = UpFrame();

  // Foot: a wide rounded plate, a round plinth and four bolts.
  part.BeginSubMesh(kPedestal);
  part.RoundedBox(up, -9.5f, -9.5f, 9.5f, 9.5f, 0.0f, 1.4f, 2.0f, 0.35f, 48);
  part.Cylinder(up, 0.0f, 0.0f, 6.0f, 1.4f, 2.6f, 0.35f, 56);
  for (int i = 0; i < 4; ++i) {
    const float x = (i & 1) ? 7.2f : -7.2f;
    const float z = (i & 2) ? 7.2f : -7.2f;
    part.HexNut(up, x, z, 0.85f, 1.4f, 1.95f, 24);
  }

  // Column, a shoulder block and the clevis that holds the middle arm.
  part.BeginSubMesh(kPedestalLight);
  part.RoundedBox(up, -2.3f, -2.3f, 2.3f, 2.3f, 2.6f, 6.4f, 0.8f, 0.2f, 40);
  part.RoundedBox(up, -2.9f, -3.2f, 2.9f, 3.2f, 6.2f, 7.1f, 0.55f, 0.2f, 40);
  Cheeks(&part, {{-2.2f, 6.9f, 0.35f}, {2.2f, 6.9f, 0.35f}, {0.0f, 10.0f, 2.5f}});

  part.BeginSubMesh(kSteel);
  Axle(&part, 10.0f);
  return part.SubMeshes();
}

std::vector<CSubMesh> Middle() {
  PartBuilder part;

  // The beam tapers from its pivot to its joint...
  part.BeginSubMesh(kArm);
  part.RoundedPrism(FrontFrame(), {{0.0f, 0.0f, 2.6f}, {0.0f, 16.0f, 1.9f}}, -1.4f, 1.4f, 0.3f, 64);
  // ...with a raised web panel on each face, a shade darker.
  part.BeginSubMesh(kArmWeb);
  const std::vector<Circle> web = {{0.0f, 3.8f, 1.2f}, {0.0f, 12.6f, 0.85f}};
  part.RoundedPrism(FrontFrame(), web, 1.3f, 1.58f, 0.09f, 40);
  part.RoundedPrism(FrontFrame(), web, -1.58f, -1.3f, 0.09f, 40);

  // Bushings at both ends, in the cheeks' gaps.
  part.BeginSubMesh(kSteel);
  part.Cylinder(FrontFrame(), 0.0f, 0.0f, 1.6f, -1.6f, 1.6f, 0.12f, 32);
  part.Cylinder(FrontFrame(), 0.0f, 16.0f, 1.6f, -1.6f, 1.6f, 0.12f, 32);
  return part.SubMeshes();
}

std::vector<CSubMesh> Top() {
  PartBuilder part;
  const Frame up = UpFrame();

  // Clevis round the middle arm's end, the wrist housing and the palm.
  part.BeginSubMesh(kHead);
  Cheeks(&part, {{0.0f, 0.0f, 2.1f}, {-1.9f, 3.8f, 0.35f}, {1.9f, 3.8f, 0.35f}});
  part.RoundedBox(FrontFrame(), -2.6f, 3.6f, 2.6f, 5.8f, -2.6f, 2.6f, 0.55f, 0.22f, 40);
  part.RoundedBox(FrontFrame(), -3.6f, 6.9f, 3.6f, 8.1f, -1.5f, 1.5f, 0.5f, 0.16f, 40);

  // Wrist, axle and nuts.
  part.BeginSubMesh(kSteel);
  part.Cylinder(up, 0.0f, 0.0f, 1.3f, 5.7f, 7.0f, 0.12f, 32);
  part.Cylinder(up, 0.0f, 0.0f, 1.65f, 6.15f, 6.55f, 0.1f, 32);
  Axle(&part, 0.0f);

  // Two fingers curling in towards each other.
  part.BeginSubMesh(kDarkSteel);
  for (int side = 0; side < 2; ++side) {
    const float s = side == 0 ? -1.0f : 1.0f;
    part.RoundedPrism(FrontFrame(), {{s * 2.95f, 7.6f, 0.55f}, {s * 3.0f, 9.5f, 0.45f}, {s * 2.1f, 10.7f, 0.3f}},
                      -0.85f, 0.85f, 0.1f, 40);
    part.RoundedPrism(FrontFrame(), {{s * 1.95f, 10.65f, 0.28f}, {s * 1.35f, 10.35f, 0.2f}}, -0.6f, 0.6f, 0.08f,
                      24);
  }
  return part.SubMeshes();
}

bool WriteModel(const std::string& dir, const std::string& name, const std::vector<CSubMesh>& subMeshes) {
  std::string bytes, reason;
  if (!WriteGameModel(subMeshes, "GAMEMODEL " + name + " (assetgen)", &bytes, &reason)) {
    std::fprintf(stderr, "assetgen: %s: %s\n", name.c_str(), reason.c_str());
    return false;
  }
  const std::string path = dir + "/" + name + ".GAMEMODEL";
  std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) {
    std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int GenerateModels(const std::string& dir) {
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  if (!WriteModel(dir, "bottom", Bottom()) || !WriteModel(dir, "middle", Middle()) || !WriteModel(dir, "top", Top())) {
    return 1;
  }
  return 0;
}
