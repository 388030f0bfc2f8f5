#include "kso_writer.h"

#include <cmath>
#include <sstream>

#include "runtime/le_bytes.h"

namespace ksomake {

using ks::runtime::AppendLe;

namespace {

std::size_t CornersOf(int kind) { return kind == 1 ? 3 : 4; }
std::size_t FaceBytesOf(int kind) { return kind == 1 ? 32 : kind == 5 ? 40 : 24; }

}  // namespace

bool ParseModel(const std::string& text, Model* model, std::string* error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  *model = Model{};
  while (std::getline(lines, line)) {
    ++number;
    std::istringstream words(line);
    std::string keyword;
    if (!(words >> keyword) || keyword[0] == '#') continue;
    if (keyword == "header") {
      std::getline(words >> std::ws, model->header);
      if (model->header.size() > 127) return fail("header text longer than 127 characters");
    } else if (keyword == "object") {
      std::string kind;
      words >> kind;
      Object object;
      if (kind == "triangles") {
        object.kind = 1;
      } else if (kind == "quads") {
        object.kind = 5;
      } else if (kind == "flat") {
        object.kind = 4;
      } else {
        return fail("object kind must be triangles, quads or flat");
      }
      model->objects.push_back(object);
    } else if (keyword == "vertex" || keyword == "face") {
      if (model->objects.empty()) return fail(keyword + " before any object");
      Object& object = model->objects.back();
      if (keyword == "vertex") {
        double xyz[3];
        if (!(words >> xyz[0] >> xyz[1] >> xyz[2])) return fail("vertex needs three numbers");
        for (double c : xyz) {
          if (!(std::fabs(c) < 32767.0)) return fail("vertex coordinate out of range");
          object.vertices.push_back(static_cast<std::int32_t>(std::lround(c * 65536.0)));
        }
        if (object.vertices.size() / 3 > 65535) return fail("more than 65535 vertices");
      } else {
        std::vector<long> numbers;
        long n;
        while (words >> n) numbers.push_back(n);
        if (!words.eof()) return fail("face takes whole numbers only");
        const std::size_t corners = CornersOf(object.kind);
        const std::size_t extra = object.kind == 4 ? 3 : 2 * corners;
        if (numbers.size() != corners && numbers.size() != corners + extra) {
          return fail("face needs " + std::to_string(corners) + " indices and optionally " + std::to_string(extra) +
                      " attribute bytes");
        }
        Face face;
        for (std::size_t i = 0; i < numbers.size(); ++i) {
          if (i < corners) {
            if (numbers[i] < 0 || numbers[i] > 65535) return fail("index out of range");
            face.corners.push_back(static_cast<std::uint32_t>(numbers[i]));
          } else {
            if (numbers[i] < 0 || numbers[i] > 255) return fail("attribute bytes are 0 to 255");
            face.attributes.push_back(static_cast<std::uint32_t>(numbers[i]));
          }
        }
        face.attributes.resize(extra, 0);
        object.faces.push_back(face);
        if (object.faces.size() * corners > 65535) return fail("more than 65535 indices");
      }
    } else {
      return fail("unknown keyword " + keyword);
    }
  }
  for (const Object& object : model->objects) {
    for (const Face& face : object.faces) {
      for (std::uint32_t c : face.corners) {
        if (c >= object.vertices.size() / 3) {
          if (error) *error = "face index " + std::to_string(c) + " past the object's vertices";
          return false;
        }
      }
    }
  }
  if (model->objects.size() > 65535) {
    if (error) *error = "more than 65535 objects";
    return false;
  }
  return true;
}

std::vector<std::uint8_t> EncodeModel(const Model& model) {
  std::vector<std::uint8_t> out(256, 0);
  for (std::size_t i = 0; i < model.header.size() && i < 127; ++i) out[i] = static_cast<std::uint8_t>(model.header[i]);
  AppendLe(out, static_cast<std::uint32_t>(model.objects.size()), 2);
  AppendLe(out, 0, 2);
  for (const Object& object : model.objects) {
    const std::size_t corners = CornersOf(object.kind);
    const std::size_t faceBytes = FaceBytesOf(object.kind);
    const std::uint32_t indexCount = static_cast<std::uint32_t>(object.faces.size() * corners);
    // Record: 16 bytes the reader ignores, block size, V, kind, I, 2 spare.
    out.insert(out.end(), 16, 0);
    AppendLe(out, static_cast<std::uint32_t>(object.faces.size() * faceBytes), 4);
    AppendLe(out, static_cast<std::uint32_t>(object.vertices.size() / 3), 2);
    AppendLe(out, static_cast<std::uint32_t>(object.kind), 2);
    AppendLe(out, indexCount, 2);
    AppendLe(out, 0, 2);
    for (const Face& face : object.faces) {
      for (std::uint32_t c : face.corners) AppendLe(out, c, 2);
    }
    if (indexCount & 1) AppendLe(out, 0, 2);
    for (const Face& face : object.faces) {
      std::vector<std::uint8_t> record(faceBytes, 0);
      if (object.kind == 4) {
        for (int c = 0; c < 3; ++c)
          record[4 + static_cast<std::size_t>(c)] =
              static_cast<std::uint8_t>(face.attributes[static_cast<std::size_t>(c)]);
      } else {
        for (std::size_t k = 0; k < corners; ++k) {
          record[12 + 8 * k] = static_cast<std::uint8_t>(face.attributes[2 * k]);
          record[13 + 8 * k] = static_cast<std::uint8_t>(face.attributes[2 * k + 1]);
        }
      }
      out.insert(out.end(), record.begin(), record.end());
    }
    for (std::size_t v = 0; v < object.vertices.size(); v += 3) {
      AppendLe(out, static_cast<std::uint32_t>(object.vertices[v]), 4);
      AppendLe(out, static_cast<std::uint32_t>(object.vertices[v + 1]), 4);
      AppendLe(out, static_cast<std::uint32_t>(object.vertices[v + 2]), 4);
      AppendLe(out, 0, 4);
    }
  }
  return out;
}

}  // namespace ksomake
