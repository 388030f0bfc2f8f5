// The compiled skin: a byte image of name-keyed binary trees, loaded whole and
// never unpacked. PropertiesImpl answers typed, inherited lookups over it;
// Properties is the handle that forms and controls keep.
//
// Every offset, count and length read from the image is checked before use: a
// link that leaves the image, a name without its terminator, a value record
// longer than the image or a cycle counts as "none", so a damaged skin answers
// defaults instead of reading out of bounds.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "liba/string_translator.h"

namespace skinner {

struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 0;
  friend bool operator==(const Colour&, const Colour&) = default;
};

class Cursor;
class FontDesc;
class Picture;

struct DeclaredControl {
  std::wstring name;
  std::wstring class_name;
  std::wstring kind;  // empty when the record names no kind
};

// What the form-variant choice needs of the device. The form window and the
// platform test fill these in once they exist; until then a Pocket PC whose
// work area is the whole screen.
struct DeviceInfo {
  bool (*is_smartphone)() = nullptr;
  Point (*get_screen_size)() = nullptr;
  Point (*get_workarea)() = nullptr;
};
void set_device_info(const DeviceInfo& info);
// The device's answer through the info above; false until it is given.
bool device_is_smartphone();

class PropertiesImpl : public liba::StringTranslator {
 public:
  // The skin is a stored ZIP whose first ".skin" member holds the image, or
  // the bare image. An empty skin path makes an impl with no skin.
  PropertiesImpl(const std::wstring& skin_path, const std::wstring& language_path, Point screen);
  // Over an image already in memory (tests, fuzzing).
  PropertiesImpl(std::vector<std::uint8_t> blob, Point screen);

  bool is_valid() const { return header_ != nullptr; }
  double get_scale() const { return scale_; }
  const std::wstring& get_skin_path() const { return skin_path_; }
  std::wstring get_skin_name() const;
  bool match_screen(const std::wstring& name, Point screen) const;

  // Loads a language file on top of the table and translates the skin's
  // texts again from their literals; false (nothing changed) when the file
  // could not be read.
  bool set_language(const std::wstring& language_path);

  int read_int(const std::wstring& kind, const std::wstring& control, const std::wstring& form, const std::wstring& key,
               int fallback);
  int read_scaled_int(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                      const std::wstring& key, int fallback);
  Point read_point(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                   const std::wstring& key, Point fallback);
  Point read_scaled_point(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                          const std::wstring& key, Point fallback);
  Colour read_colour(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                     const std::wstring& key, Colour fallback);
  std::wstring read_text(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                         const std::wstring& key, const std::wstring& fallback);
  // The picture descriptor and font texts, as stored.
  std::wstring read_picture_text(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                                 const std::wstring& key, const std::wstring& fallback);
  std::wstring read_font_text(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                              const std::wstring& key, const std::wstring& fallback);
  // The system cursor a text names; none for a name not in the table.
  Cursor read_cursor(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                     const std::wstring& key, const Cursor& fallback);
  // The picture of a descriptor text (one that is no descriptor counts as
  // absent), with the skin's path and scale.
  Picture read_picture(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                       const std::wstring& key, const Picture& fallback);
  // The font of the font text at the skin's scale.
  FontDesc read_font(const std::wstring& kind, const std::wstring& control, const std::wstring& form,
                     const std::wstring& key, const FontDesc& fallback);

  std::wstring get_control_kind(const std::wstring& form, const std::wstring& control);
  int get_declared_count(const std::wstring& form);
  DeclaredControl get_declared_control(const std::wstring& form, int index);

  // The chosen variant's node offset for a form name; 0 when none.
  std::uint32_t find_best_variant(const std::wstring& form);

 private:
  enum Tree : std::uint32_t { kInts = 76, kSizes = 80, kTexts = 84, kPictures = 88, kColours = 92, kFonts = 96 };

  void load_file(const std::wstring& path);
  void validate();
  void choose_scale(Point screen);
  void localise();

  bool fits(std::uint32_t offset, std::uint64_t bytes) const;
  bool node_ok(std::uint32_t offset, std::uint64_t bytes) const;
  bool object_ok(std::uint32_t offset) const { return node_ok(offset, 108); }
  std::uint32_t u32(std::uint32_t offset) const;
  std::int32_t i32(std::uint32_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
  std::wstring name_at(std::uint32_t offset) const;
  // A name as the UTF-16 code units the image holds; `ok` is false when it
  // cannot fit a name field, so it matches nothing.
  struct Units {
    explicit Units(const std::wstring& name);
    char16_t units[32];
    std::uint32_t count = 0;
    bool ok = true;
  };
  // Tree search from a root; 0 when not found or the tree is damaged.
  std::uint32_t find(std::uint32_t root, const Units& name) const;
  std::uint32_t find(std::uint32_t root, const std::wstring& name) const { return find(root, Units(name)); }
  // A value record of the tree, in the node and along its base chain.
  std::uint32_t find_inherited(std::uint32_t node, Tree tree, const Units& key) const;
  bool has_prefix(std::uint32_t node, const Units& prefix) const;
  // The record for a typed lookup, or 0 for the default.
  std::uint32_t lookup(const std::wstring& kind, const std::wstring& control, const std::wstring& form, Tree tree,
                       const std::wstring& key);
  std::vector<std::uint32_t> walk_stack_;
  bool record_ok(std::uint32_t record, Tree tree) const;
  std::wstring record_text(std::uint32_t record) const;
  std::uint32_t forms_root() const { return u32(64); }
  std::uint32_t kinds_root() const { return u32(68); }
  std::uint32_t max_steps() const { return static_cast<std::uint32_t>(blob_.size() / 72 + 1); }

  std::vector<std::uint8_t> blob_;
  const std::uint8_t* header_ = nullptr;
  std::uint32_t variant_node_ = 0;
  std::wstring variant_name_;
  bool variant_cached_ = false;
  Point variant_size_;
  // Translated texts by the offset of their text record; index 0 is the
  // empty string. The image itself is never changed, so every localisation
  // starts again from the skin's literal texts.
  std::vector<std::wstring> translated_;
  std::unordered_map<std::uint32_t, std::uint32_t> translated_index_;
  std::wstring skin_path_;
  double scale_ = 1.0;
  // The screen given at loading: the variant choice's screen until the
  // device says otherwise.
  Point screen_;
};

class Properties {
 public:
  Properties() = default;
  ~Properties() { delete impl_; }
  Properties(const Properties&) = delete;
  Properties& operator=(const Properties&) = delete;

  static PropertiesImpl* create_for_device(const std::wstring& skin_path, Point screen);
  static PropertiesImpl* create_language_only();
  // Builds a new impl and puts it in the handle, destroying the one it held;
  // the open forms on the handle then read their properties again.
  static void create_named(Properties& handle, const std::wstring& skin_path, const std::wstring& language_path,
                           Point screen);
  // Loads the language on top of the table and translates the skin's texts
  // again; then the open forms on this handle read their properties again.
  static bool set_language(Properties& handle, const std::wstring& language_path);
  // What makes every open form whose handle is the given one read its
  // properties again; the forms keep their own list and set it.
  using FormReloader = void (*)(Properties& handle);
  static void set_form_reloader(FormReloader reloader);
  static bool is_valid(const Properties& handle);
  static bool match_screen(const Properties& handle, const std::wstring& name, Point screen);
  static const std::wstring& translate(const Properties& handle, const std::wstring& key);
  static const std::wstring& translate(const Properties& handle, const std::wstring& key, const std::wstring& fallback);

  PropertiesImpl* get() const { return impl_; }
  // Takes ownership; destroys the previous impl when it differs.
  void reset(PropertiesImpl* impl);

 private:
  PropertiesImpl* impl_ = nullptr;
};

}  // namespace skinner
