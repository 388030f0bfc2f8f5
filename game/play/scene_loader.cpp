#include "play/scene_loader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwchar>

#include "display/display_s16.h"
#include "engine/image.h"
#include "simulation/pool.h"

namespace ks::play {

namespace {

const wchar_t* const kRooms[kRoomCount] = {L"Garage",      L"HawgPen",   L"PitStop",
                                           L"DeepPockets", L"HardTimes", L"BeachHouse"};
const char* const kRoomsNarrow[kRoomCount] = {"garage", "hawgpen", "pitstop", "deeppockets", "hardtimes", "beachhouse"};

constexpr int kRoomSize = 288, kRoomHeight = 80;

}  // namespace

const wchar_t* RoomName(int index) { return index >= 0 && index < kRoomCount ? kRooms[index] : kRooms[0]; }

int RoomFromName(const char* name) {
  if (name == nullptr) return -1;
  for (int i = 0; i < kRoomCount; ++i) {
    const char* a = kRoomsNarrow[i];
    const char* b = name;
    while (*a != 0 && *b != 0 && *a == ((*b >= 'A' && *b <= 'Z') ? *b + 32 : *b)) ++a, ++b;
    if (*a == 0 && *b == 0) return i;
  }
  return -1;
}

double FieldOfViewDegrees(int width, int height) {
  if (height <= 0) return 24.0;
  const double ratio = static_cast<double>(width) / height;
  if (ratio <= 1.0) return 21.0;
  if (ratio < 1.34) return 24.0;
  if (ratio < 1.57) return 26.0;
  return 24.0;
}

PlayScene::PlayScene(ssDisplayS16* device, Pool* pool) : scene(device, pool, &view), device_(device), pool_(pool) {
  view.pool = pool;
}

PlayScene::~PlayScene() { Unload(); }

LoadReport PlayScene::LoadRoom(int index) {
  Unload();
  LoadReport report;
  room_ = index >= 0 && index < kRoomCount ? index : 0;
  ssDisplayS16& d = *device_;
  wchar_t archive[64];
  std::swprintf(archive, 64, L"%ls.ark", RoomName(room_));

  // The ball textures and the sprites.
  numbers_ = d.GetTexture(L"Numbers.tga", L"UI", L"res.ark", 9, false, false);
  light_ = d.GetTexture(L"BallLightMap.tga", L"UI", L"res.ark", 8, true, false);
  shadow_ = d.GetTexture(L"BallShadow.tga", L"UI", L"res.ark", 8, false, false);
  pocket_ = d.GetTexture(L"pocket.tga", L"UI", L"res.ark", 8, false, false);
  report.ballTextures = numbers_ != nullptr && light_ != nullptr && shadow_ != nullptr;
  for (int k = 0; k < kBallCount; ++k) {
    BallSprite& s = sprites[static_cast<std::size_t>(k)];
    s.InitBallRaster(&d, numbers_, shadow_, light_);
    const BallLook& look = BallLookOf(k);
    s.BuildBallShadeTables(k, look.x, look.y, look.radius, look.red, look.green, look.blue,
                           k > 8 ? &sprites[static_cast<std::size_t>(k - 8)] : nullptr);
  }

  LoadBallTextures(icons, &d, L"res.ark");
  report.roomSurfaces = room.LoadTextures(&d, kRoomSize, kRoomSize, kRoomHeight, RoomName(room_));

  tableTexture_ = d.GetTexture(L"Table.tga", L"Rooms", archive, 7, false, false);
  table.SetTextures(&d, tableTexture_, pocket_);
  table.pool = pool_;
  table.largeTable = room_ >= 3 ? 1 : 0;
  report.table = table.Load(L"Table.kso", L"Rooms", archive);
  if (report.table) table.Build();

  stickTexture_ = d.GetTexture(L"Stick.tga", L"Rooms", archive, 7, false, false);
  stick.Init(d.ModelDevice(), stickTexture_);
  report.stick = stick.Load(L"Stick.kso", L"Rooms", archive);

  // The projection: the display's shape picks the field of view.
  const double degrees = FieldOfViewDegrees(d.m_Width, d.m_Height);
  fieldOfView_ = degrees;
  std::int32_t focal = 0;
  d.SetPerspective(static_cast<Fix16>(degrees * kRadiansPerDegree * 65536.0), &focal);
  scene.SetRadiusScale(focal > 0 ? focal : 1024);
  scene.SetRoom(&room);
  scene.SetTable(report.table ? &table : nullptr);
  scene.SetStick(report.stick ? &stick : nullptr);
  scene.SetSprites(&sprites);
  scene.InitDrawLists();
  view.Attach(&d);
  SetCamera(CameraPreset::kTableEnd);
  return report;
}

void PlayScene::SetCamera(CameraPreset preset) {
  const bool large = room_ >= 3;
  view.target = {0, 0, 0};
  view.eye = {0, 0x10000, 0};
  view.roll = 0;
  view.cueTilt = 0;
  switch (preset) {
    case CameraPreset::kTableEnd:
      view.yaw = 0;
      view.pitch = -16192;
      view.SetDistance(large ? 0x734B40 : 0x5BCCA4);
      break;
    case CameraPreset::kOverhead: {
      view.yaw = 0;
      view.pitch = -0x10000;
      // High enough that the head spot (where the cue ball stands, three
      // quarters of the way to the head rail) and a ball's width more fit
      // the narrow side of the view, whatever the field of view.
      const int vw = device_->m_VWidth > 0 ? device_->m_VWidth : device_->m_Width;
      const int vh = device_->m_VHeight > 0 ? device_->m_VHeight : device_->m_Height;
      const double aspect = vh > 0 ? std::max(1.0, static_cast<double>(vw) / vh) : 1.0;
      const double reach = 0.75 * (large ? 38.4375 : 32.0) + 2.0;
      const double fits = reach * aspect / std::tan(fieldOfView_ * kRadiansPerDegree / 2);
      view.SetDistance(std::max<Fix16>(large ? 0xD80000 : 0xB40000, static_cast<Fix16>(fits * 65536.0)));
      break;
    }
    case CameraPreset::kSide:
      view.yaw = 0x10000;
      view.pitch = -9000;
      view.SetDistance(large ? 0x600000 : 0x500000);
      break;
  }
  view.Recompute();
  view.Apply();
  scene.ForceFull();
}

void PlayScene::Unload() {
  if (device_ == nullptr) return;
  for (BallSprite& s : sprites) s.FreeBallRaster();
  FreeBallTextures(icons);
  room.Free();
  table.Free();
  stick.Free();
  for (ssImage** t : {&numbers_, &light_, &shadow_, &pocket_, &tableTexture_, &stickTexture_}) {
    if (*t != nullptr) device_->ReleaseTexture(*t);
    *t = nullptr;
  }
  device_->SetTexture(0, nullptr);
}

}  // namespace ks::play
