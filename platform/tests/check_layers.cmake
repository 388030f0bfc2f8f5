cmake_minimum_required(VERSION 3.20)
# Checks that the platform's areas (the folders of SRC) stand in layers: a
# file of an area may use the areas below it, never one above. A file uses
# an area when it includes one of its headers ("area/...") or declares
# something of the area's namespace itself (namespace ce::area), which is an
# include by hand. An area's tests (its tests/ folder) may use any area; they
# are not part of it.
#
# The layers, lowest first. Areas not named here fail the check until they
# are placed.
set(layers kernel gdi backend media text imaging resources com user controls menus shell program testing)
# Uses upwards that are known and not yet taken apart, as "from>to", such as
# "gdi>backend"; none are left. The check fails on any other, and names an
# entry here that nothing needs any more. A lower area that must reach a
# higher one declares a seam the higher one installs (gdi/display.h,
# user/hooks.h; program/library_start.cpp joins them).
set(known "")

file(GLOB areas RELATIVE ${SRC} ${SRC}/*)
set(failures "")
set(seen_known "")
foreach(area IN LISTS areas)
  if(NOT IS_DIRECTORY ${SRC}/${area})
    continue()
  endif()
  list(FIND layers ${area} rank)
  if(rank LESS 0)
    string(APPEND failures "  area ${area} has no place among the layers\n")
    continue()
  endif()
  file(GLOB_RECURSE files RELATIVE ${SRC}/${area} ${SRC}/${area}/*.h ${SRC}/${area}/*.cpp)
  list(FILTER files EXCLUDE REGEX "^tests/")
  list(TRANSFORM files PREPEND ${SRC}/${area}/)
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*(#include \"[a-z_]+/|namespace ce::[a-z_]+)")
    foreach(line IN LISTS lines)
      if(line MATCHES "#include \"([a-z_]+)/")
        set(used ${CMAKE_MATCH_1})
      elseif(line MATCHES "namespace ce::([a-z_]+)")
        set(used ${CMAKE_MATCH_1})
      endif()
      list(FIND layers ${used} used_rank)
      if(used_rank LESS_EQUAL rank)
        continue()
      endif()
      if("${area}>${used}" IN_LIST known)
        list(APPEND seen_known "${area}>${used}")
        continue()
      endif()
      file(RELATIVE_PATH shown ${SRC} ${file})
      string(APPEND failures "  ${shown} (${area}) uses ${used}, which stands above it: ${line}\n")
    endforeach()
  endforeach()
endforeach()
foreach(entry IN LISTS known)
  if(NOT entry IN_LIST seen_known)
    string(APPEND failures "  the known use ${entry} is gone: take it off the list\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "The platform's areas do not stand in layers (${layers}):\n${failures}")
endif()
list(LENGTH layers count)
message(STATUS "${count} areas in layers")
