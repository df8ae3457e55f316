# The layering rules, checked on the libraries' own definitions (RastrelLibraries.cmake, written
# at configure time by rastrel_check_libraries), so a new library is checked without a change here:
# - a Qt-free library holds no Qt header, in any of its folders and their subfolders;
# - includes are flat ("QVCmp.h"), so the include directories of the libraries a library links
#   decide what it can reach;
# - a library includes only its own headers and those of the libraries below it.
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

# Every library's files, and which library holds each header name.
foreach(lib IN LISTS RASTREL_LIBRARIES)
  set(files_${lib})
  foreach(folder IN LISTS ${lib}_FOLDERS)
    file(GLOB_RECURSE found "${folder}/*.h" "${folder}/*.hpp" "${folder}/*.cpp")
    foreach(f IN LISTS found)
      owner_of("${f}" owner)
      if(owner STREQUAL lib)
        list(APPEND files_${lib} "${f}")
        get_filename_component(name "${f}" NAME)
        if(name MATCHES "\\.h(pp)?$")
          if(DEFINED header_${name} AND NOT header_${name} STREQUAL lib)
            string(APPEND bad "\n  ${name} is a header of both ${header_${name}} and ${lib}")
          endif()
          set(header_${name} ${lib})
        endif()
      endif()
    endforeach()
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

if(bad)
  message(FATAL_ERROR "Layering broken:${bad}")
endif()
list(LENGTH RASTREL_LIBRARIES count)
message(STATUS "layering: ${count} libraries checked")
