// The graphics device's 3D operations: the matrix and vector helpers, the
// projection, one-point projection, clipping and the model device, each
// handed to the fixed-point helpers or the pipeline.
#include <cmath>
#include <cstring>

#include "display/display.h"

void ssDisplay::VectorTransform(ssVector& out, const Fix16* m, const ssVector& v) const {
  ::VectorTransform(out, m, v);
}
void ssDisplay::MatrixMultiply(Fix16* out, const Fix16* a, const Fix16* b) const { ::MatrixMultiply(out, a, b); }
void ssDisplay::Cross(ssVector& out, const ssVector& a, const ssVector& b) const { ::Cross(out, a, b); }
std::int32_t ssDisplay::Dot(const ssVector& a, const ssVector& b) const { return ::Dot(a, b); }
void ssDisplay::Normalize(ssVector&, const ssVector&) const {}
void ssDisplay::MatrixTranspose(Fix16* out, const Fix16* m) const { ::MatrixTranspose(out, m); }
void ssDisplay::ViewFromPose(Fix16* out, const Fix16* m) const { ::ViewFromPose(out, m); }
void ssDisplay::VectorAdd(ssVector& out, const ssVector& a, const ssVector& b) const { ::VectorAdd(out, a, b); }
void ssDisplay::VectorSub(ssVector& out, const ssVector& a, const ssVector& b) const { ::VectorSub(out, a, b); }
void ssDisplay::VectorMul(ssVector& out, const ssVector& a, const ssVector& b) const { ::VectorMul(out, a, b); }
void ssDisplay::VectorScale(ssVector& out, const ssVector& v, Fix16 s) const { ::VectorScale(out, v, s); }
void ssDisplay::MatrixTranslate(Fix16* out, const Fix16* m, const ssVector& v) const { ::MatrixTranslate(out, m, v); }
void ssDisplay::MatrixCopy(Fix16* out, const Fix16* m) const { std::memmove(out, m, 16 * sizeof(Fix16)); }
void ssDisplay::MatrixIdentity(Fix16* out) const { ::MatrixIdentity(out); }
void ssDisplay::RotateZ(Fix16* out, const Fix16* m, Fix16 angle) const { ::RotateZ(out, m, angle); }
void ssDisplay::RotateX(Fix16* out, const Fix16* m, Fix16 angle) const { ::RotateX(out, m, angle); }
void ssDisplay::RotateY(Fix16* out, const Fix16* m, Fix16 angle) const { ::RotateY(out, m, angle); }
void ssDisplay::RotateXYZ(Fix16* out, Fix16* m, const ssVector& angles) const { ::RotateXYZ(out, m, angles); }
void ssDisplay::VectorClamp(ssVector& out, const ssVector& v, Fix16 lo, Fix16 hi) const {
  ::VectorClamp(out, v, lo, hi);
}
void ssDisplay::LookDir(Fix16* out, const ssVector& eye, const ssVector& dir, const ssVector& up) const {
  ::LookDir(out, eye, dir, up);
}
void ssDisplay::LookAt(Fix16* out, const ssVector& eye, const ssVector& target, const ssVector& up) const {
  ::LookAt(out, eye, target, up);
}
bool ssDisplay::ProjectPoint(ssVector& out, const Fix16* m, const ssVector& v) const {
  return ::ProjectPoint(out, m, v);
}

void ssDisplay::Perspective(Fix16* out, float fov, float aspect, float nearZ, float farZ, std::int32_t* focal) const {
  float ys = 0.0f;
  ::Perspective(out, fov, aspect, nearZ, farZ, &ys);
  if (focal != nullptr) *focal = FocalLength(ys, (m_Rotate & 1) != 0 ? m_Width : m_Height);
}

void ssDisplay::SetPerspective(Fix16 fov, std::int32_t* focal) {
  const float aspect = m_VHeight != 0 ? static_cast<float>(m_VWidth) / static_cast<float>(m_VHeight) : 1.0f;
  Fix16 m[16];
  Perspective(m, static_cast<float>(fov) / 65536.0f, aspect, 4.0f, 600.0f, focal);
  m_Pipeline.SetTransform(ssPipeline::kMatrixProjection, m);
}

std::int64_t* ssDisplay::ProjectOnePoint(const ssVector& point, std::int32_t* sx, std::int32_t* sy, std::int32_t* sz,
                                         std::int64_t* wRecord, const Fix16* matrix) {
  if (matrix == nullptr) return nullptr;
  SyncPipeline();
  std::int32_t x = 0, y = 0, z = 0;
  std::int64_t w = 0;
  const bool seen = m_Pipeline.ProjectOnePoint(point, matrix, x, y, z, w);
  if (sx != nullptr) *sx = x;
  if (sy != nullptr) *sy = y;
  if (!seen) return nullptr;
  if (sz != nullptr) *sz = z;
  if (wRecord == nullptr) return nullptr;
  *wRecord = w;
  return wRecord;
}

namespace {

int ClipOut(const ssPipeline& pipeline, int n, const ssVertex** out) {
  if (out != nullptr) {
    for (int i = 0; i < n; ++i) out[i] = &pipeline.ScratchVertices()[pipeline.ClipList()[i]];
  }
  return n;
}

}  // namespace

int ssDisplay::ClipPolygon(const ssVertex** out, const ssVertex* vertices, int count) {
  SyncPipeline();
  return ClipOut(m_Pipeline, m_Pipeline.ClipPolygon(vertices, count), out);
}

int ssDisplay::ClipPolygonScreen(const ssVertex** out, const ssVertex* vertices, int count) {
  SyncPipeline();
  return ClipOut(m_Pipeline, m_Pipeline.ClipPolygonScreen(vertices, count), out);
}

int ssDisplay::ClipPolygonScreen2(const ssVertex** out, const ssVertex* vertices, int count) {
  SyncPipeline();
  return ClipOut(m_Pipeline, m_Pipeline.ClipPolygonScreen2(vertices, count), out);
}

namespace {

// The pipeline's model device, drawing into the device's current target.
class DisplayModelDevice : public ssPipelineModelDevice {
 public:
  explicit DisplayModelDevice(ssDisplay& display)
      : ssPipelineModelDevice(display.m_Pipeline, display.GetArchive(), display.m_Depth), m_Display(display) {}
  ssArchive* GetArchive() override { return m_Display.GetArchive(); }
  std::uint32_t MakePixel(std::uint32_t red, std::uint32_t green, std::uint32_t blue) override {
    return m_Display.MakePixel(static_cast<int>(red & 0xFF), static_cast<int>(green & 0xFF),
                               static_cast<int>(blue & 0xFF));
  }

 protected:
  void BeforeDraw() override { m_Display.SyncPipeline(); }

 private:
  ssDisplay& m_Display;
};

}  // namespace

ssModelDevice* ssDisplay::ModelDevice() {
  if (!m_ModelDevice) m_ModelDevice = std::make_unique<DisplayModelDevice>(*this);
  return m_ModelDevice.get();
}
