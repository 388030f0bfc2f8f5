// Path text: macro expansion, parts of a path, comparison, special folders.
// Both "\" and "/" count as separators.
#pragma once

#include <string>

namespace os {

// A leading macro ("%app_path%", "%my_documents%", ...) becomes its value;
// every "/" after it becomes "\".
std::wstring expand_path_macros(const std::wstring& path);
std::wstring expand_path(const std::wstring& path);

// Position of the extension dot; -1 when none (or a separator follows it).
int path_extension_pos(const std::wstring& path);
std::wstring path_strip_separator(const std::wstring& path);
std::wstring path_normalize(const std::wstring& path);
bool paths_equal(const std::wstring& a, const std::wstring& b);
// True when `path` is `folder` or lies in it.
bool path_has_prefix(const std::wstring& folder, const std::wstring& path);
std::wstring path_directory(const std::wstring& path);
std::wstring path_file_name(const std::wstring& path);
std::wstring path_extension(const std::wstring& path);
std::wstring path_remove_extension(const std::wstring& path);
std::wstring path_parent_directory(const std::wstring& path);
std::wstring path_title(const std::wstring& path);
std::wstring path_change_extension(const std::wstring& path, const std::wstring& ext);
std::wstring path_join(const std::wstring& dir, const std::wstring& name);
std::wstring to_lower(const std::wstring& text);
std::wstring to_upper(const std::wstring& text);

std::wstring get_module_file_name();
// The folder's path, empty when the shell does not know it.
std::wstring get_special_folder(int csidl);

}  // namespace os
