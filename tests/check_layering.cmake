# The layering rules, checked on the libraries' own definitions (RastrelLibraries.cmake, written
# at configure time by rastrel_check_libraries), so a new library is checked without a change here:
# - a Qt-free library holds no Qt header, in any of its folders and their subfolders;
# - includes are flat ("QVCmp.h"), so the include directories of the libraries a library links
#   decide what it can reach;
# - a library includes only its own headers and those of the libraries below it;
# - inside a library of several folders, given from the bottom up, a file includes headers of its
#   own folder and of the folders before it. The upward includes that remain are listed below,
#   each with its reason; an include not on the list fails, and so does an entry that no longer
#   occurs, so the list can only shrink.
# A file belongs to the library of the deepest library folder above it.
cmake_minimum_required(VERSION 3.25)
include(${LIBRARIES})

foreach(lib IN LISTS RASTREL_LIBRARIES)
  foreach(folder IN LISTS ${lib}_FOLDERS)
    string(MD5 key "${folder}")
    set(owner_${key} ${lib})
  endforeach()
endforeach()

function(owner_of file out)
  get_filename_component(dir "${file}" DIRECTORY)
  while(TRUE)
    string(MD5 key "${dir}")
    if(DEFINED owner_${key})
      set(${out} ${owner_${key}} PARENT_SCOPE)
      return()
    endif()
    get_filename_component(parent "${dir}" DIRECTORY)
    if(parent STREQUAL dir)
      set(${out} "" PARENT_SCOPE)
      return()
    endif()
    set(dir "${parent}")
  endwhile()
endfunction()

set(bad "")

# Upward includes inside the model's core, as "<file> -> <header>". Each group says why the
# include stays: untying it would need a hook through the middle of the geometry or display code.
# A point set tells the object it belongs to that its box must be computed again; an object tells
# the drawing that holds it (its Owner) the same.
set(known_upward
  "kernel/QVPointsSet.cpp -> QVSys.h"
  "objects/QVSys.cpp -> QVCmp.h")
# Entities build their own display nodes in the drawing's view and draw themselves on its overlay.
list(APPEND known_upward
  "entities/QVBitmap2D.cpp -> QVDisplay.h"
  "entities/QVBitmap2D.cpp -> QVScene.h"
  "entities/QVCurves.h -> QVDisplay.h"
  "entities/QVCurves_Display.cpp -> QVDisplay.h"
  "entities/QVCurves_Display.cpp -> QVScene.h"
  "entities/QVEntity_Display.cpp -> QVDisplay.h"
  "entities/QVSurf3D.cpp -> QVDisplay.h"
  "entities/QVSurf3D.cpp -> QVScene.h"
  "entities/UnitCurva_Drawing.cpp -> QVPreview.h")
# The STL surface joins the drawing and sizes the stock box to itself; a curve is written into the
# drawing as its lines and arcs.
list(APPEND known_upward
  "entities/QVSurf3D.cpp -> QVCmp.h"
  "entities/QVSurf3D.cpp -> QVStock.h"
  "entities/UnitCurva_Drawing.cpp -> QVCmp.h")
set(seen_upward "")

# Every library's files, which library holds each header name, and the place of each file's
# folder among its library's folders (level_, by file or header name).
foreach(lib IN LISTS RASTREL_LIBRARIES)
  set(files_${lib})
  set(level 0)
  foreach(folder IN LISTS ${lib}_FOLDERS)
    file(GLOB_RECURSE found "${folder}/*.h" "${folder}/*.hpp" "${folder}/*.cpp")
    foreach(f IN LISTS found)
      owner_of("${f}" owner)
      if(owner STREQUAL lib)
        list(APPEND files_${lib} "${f}")
        string(MD5 key "${f}")
        set(level_${key} ${level})
        get_filename_component(folder_name "${folder}" NAME)
        get_filename_component(name "${f}" NAME)
        set(short_${key} "${folder_name}/${name}")
        if(name MATCHES "\\.h(pp)?$")
          if(DEFINED header_${name} AND NOT header_${name} STREQUAL lib)
            string(APPEND bad "\n  ${name} is a header of both ${header_${name}} and ${lib}")
          endif()
          set(header_${name} ${lib})
          set(header_level_${name} ${level})
        endif()
      endif()
    endforeach()
    math(EXPR level "${level} + 1")
  endforeach()
endforeach()

foreach(lib IN LISTS RASTREL_LIBRARIES)
  foreach(f IN LISTS files_${lib})
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
      if(NOT ${lib}_QT AND line MATCHES "include[ \t]*<Q")
        string(APPEND bad "\n  ${f}: ${lib} is Qt-free: ${line}")
      elseif(line MATCHES "include[ \t]*\"([^\"]+)\"")
        set(name "${CMAKE_MATCH_1}")
        if(name MATCHES "/")
          string(APPEND bad "\n  ${f}: includes are flat, without a folder: ${line}")
        elseif(DEFINED header_${name} AND NOT header_${name} STREQUAL lib
               AND NOT header_${name} IN_LIST ${lib}_BELOW)
          string(APPEND bad "\n  ${f}: ${lib} may not include ${name} of ${header_${name}}")
        elseif(DEFINED header_${name} AND header_${name} STREQUAL lib)
          string(MD5 key "${f}")
          if(header_level_${name} GREATER level_${key})
            set(include "${short_${key}} -> ${name}")
            if(include IN_LIST known_upward)
              list(APPEND seen_upward "${include}")
            else()
              string(APPEND bad "\n  ${f}: ${name} lies in a folder above this one's")
            endif()
          endif()
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

# The programs, tests, benchmarks and fuzz targets include flat headers too.
file(GLOB_RECURSE others "${ROOT}/app/*.cpp" "${ROOT}/tests/*.h" "${ROOT}/tests/*.cpp" "${ROOT}/bench/*.h"
     "${ROOT}/bench/*.cpp" "${ROOT}/fuzz/*.h" "${ROOT}/fuzz/*.cpp" "${ROOT}/tools/*.cpp")
foreach(f IN LISTS others)
  file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
  foreach(line IN LISTS lines)
    string(APPEND bad "\n  ${f}: includes are flat, without a folder: ${line}")
  endforeach()
endforeach()

foreach(include IN LISTS known_upward)
  if(NOT include IN_LIST seen_upward)
    string(APPEND bad "\n  ${include} is listed as a known upward include but no longer occurs: strike it")
  endif()
endforeach()

if(bad)
  message(FATAL_ERROR "Layering broken:${bad}")
endif()
list(LENGTH RASTREL_LIBRARIES count)
message(STATUS "layering: ${count} libraries checked")
