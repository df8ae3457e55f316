# Shared build settings and the helpers that keep the folder CMake files short.

set(RASTREL_WARNINGS -Wall -Wextra -Wpedantic -Wnon-virtual-dtor)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # clang (the fuzz build) does not know -Wshadow=local.
  list(APPEND RASTREL_WARNINGS -Wshadow=local -Wno-psabi)
endif()

if(RASTREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# rastrel_add_library(<target> SOURCES <glob patterns...> [DEPS <targets...>] [QT])
# A library without QT must stay free of Qt: the layering test checks its folder.
function(rastrel_add_library target)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_SOURCES})
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${RASTREL_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# rastrel_add_test(<target> SOURCES <glob patterns...> DEPS <targets...> [GUI])
# GUI tests need a display and run under xvfb-run from scripts/test.
function(rastrel_add_test target)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${ARG_SOURCES})
  add_executable(${target} ${sources})
  target_compile_options(${target} PRIVATE ${RASTREL_WARNINGS})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE RASTREL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  set(labels unit)
  if(ARG_GUI)
    set(labels gui)
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${labels})
endfunction()
