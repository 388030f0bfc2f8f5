#include "ui_fixture.h"

#include <algorithm>

#include "ark_writer.h"
#include "font_writer.h"
#include "image_writer.h"

namespace ks::ui::test {

namespace {

std::vector<std::uint8_t> Font(const char* name, const char* face, int pixels, bool mono) {
  fontmake::Options options;
  options.facePath = std::string(KS_DEJAVU_DIR) + "/" + face;
  options.name = name;
  options.pixels = pixels;
  options.mono = mono;
  std::string error;
  auto bytes = fontmake::Render(options, error);
  EXPECT_FALSE(bytes.empty()) << error;
  return bytes;
}

std::vector<std::uint8_t> Solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  imgconv::Picture p;
  p.width = static_cast<std::uint32_t>(w);
  p.height = static_cast<std::uint32_t>(h);
  for (int i = 0; i < w * h; ++i) p.rgba.insert(p.rgba.end(), {r, g, b, 255});
  return imgconv::EncodeTga(p, 24, false);
}

}  // namespace

std::vector<std::uint8_t> ResArchive() {
  static const std::vector<std::uint8_t> bytes = [] {
    std::vector<arkpack::Member> members{
        {"Small Fonts7.fnt", Font("Small Fonts7", "DejaVuSansCondensed.ttf", 8, true)},
        {"Cornerstone8.fnt", Font("Cornerstone8", "DejaVuSans-Bold.ttf", 10, false)},
        {"Back.tga", Solid(24, 16, 0x20, 0x60, 0xA0)},
        {"Home.tga", Solid(24, 16, 0x60, 0x20, 0xA0)},
        {"Bill.tga", Solid(190, 74, 0x40, 0x80, 0x40)},
        {"cornerstone10.fnt", Font("cornerstone10", "DejaVuSans-Bold.ttf", 13, false)},
        {"Glow.tga", Solid(40, 30, 0xF0, 0xD0, 0x40)},
    };
    std::string error;
    return arkpack::BuildArchive(members, &error);
  }();
  return bytes;
}

std::unique_ptr<ssDisplayS16> OpenDisplay(int width, int height) {
  auto d = std::make_unique<ssDisplayS16>();
  d->ForceOutput(ssDisplayS16::kModeGdi);
  d->m_Rotate = width < height ? 1 : 0;
  if (d->Init(nullptr, width, height, 16, 0) != 0) return nullptr;
  d->SetRenderTarget(ssDisplayS16::kTargetBackBuffer, 0, 0, 0, 0);
  auto archive = std::make_unique<ssMemoryArchive>();
  archive->SetBaseFolder(L"\\", 0);
  archive->AddFile(L"\\UI\\res.ark", ResArchive());
  d->SetArchive(std::move(archive));
  return d;
}

std::vector<std::pair<int, int>> RecordingDlg::Commands() const {
  std::vector<std::pair<int, int>> out;
  for (const Received& r : m_Log) {
    if (r.message == ::ui::kMsgCommand) out.emplace_back(::ui::CommandId(r.p1), ::ui::CommandCode(r.p1));
  }
  return out;
}

int RecordingDlg::Count(UINT message) const {
  return static_cast<int>(
      std::count_if(m_Log.begin(), m_Log.end(), [message](const Received& r) { return r.message == message; }));
}

bool RecordingDlg::Has(int id, int code) const {
  const auto commands = Commands();
  return std::find(commands.begin(), commands.end(), std::make_pair(id, code)) != commands.end();
}

RecordingDlg* MakeScreen(ssDisplay* display, int id) {
  auto* screen = new RecordingDlg();
  screen->Create(display, nullptr, RECT{0, 0, 0x10000, 0x10000}, L"Dialog", ::ui::kKindWindow, ::ui::kStyleVisible, 0,
                 id, 0);
  screen->SetFontByName(L"Small Fonts7", L"UI", L"res.ark");
  return screen;
}

RECT Px(int left, int top, int right, int bottom) {
  // Fractions that FracRectToScreen turns back into exactly these pixels
  // on the 320 x 240 logical screen.
  auto fx = [](int x) { return static_cast<LONG>((static_cast<std::int64_t>(x) * 65536 + 319) / 320); };
  auto fy = [](int y) { return static_cast<LONG>((static_cast<std::int64_t>(y) * 65536 + 239) / 240); };
  return RECT{fx(left), fy(top), fx(left) + fx(right - left), fy(top) + fy(bottom - top)};
}

FeedbackLog::FeedbackLog() {
  Codes().clear();
  ::ui::SetFeedbackHook([](int code) { Codes().push_back(code); });
}

FeedbackLog::~FeedbackLog() { ::ui::SetFeedbackHook(nullptr); }

std::vector<int>& FeedbackLog::Codes() {
  static std::vector<int> codes;
  return codes;
}

std::uint16_t Pixel(const ssDisplayS16& d, int x, int y) {
  // Rotation 1: logical x runs up the buffer.
  switch (d.m_Rotate) {
    case 1:
      return d.m_BackBuffer[static_cast<std::size_t>(d.m_Height - 1 - x) * d.m_Width + y];
    default:
      return d.m_BackBuffer[static_cast<std::size_t>(y) * d.m_Width + x];
  }
}

}  // namespace ks::ui::test
