# Project-wide helpers: warnings, test registration, the Wine prefix.

# CI builds with -Werror; a developer's build keeps warnings as warnings.
if(DEFINED ENV{CI} AND NOT "$ENV{CI}" STREQUAL "" AND NOT "$ENV{CI}" STREQUAL "false")
  set(VELMORA_WERROR_DEFAULT ON)
else()
  set(VELMORA_WERROR_DEFAULT OFF)
endif()
option(VELMORA_WERROR "Treat warnings as errors" ${VELMORA_WERROR_DEFAULT})

function(velmora_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wformat=2 -Wundef)
  if(VELMORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# The Windows tests run in a Wine prefix of the build's own.
set(VELMORA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

# A test under Wine: serial, since the tests share the prefix and its registry.
function(velmora_add_wine_test)
  cmake_parse_arguments(T "" "NAME" "COMMAND;LABELS" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND})
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "WINEPREFIX=${VELMORA_WINEPREFIX};WINEDEBUG=-all"
    RUN_SERIAL TRUE
    LABELS "wine;${T_LABELS}")
endfunction()

# A GoogleTest program: one ctest test per case natively, the whole program
# as one test under Wine.
function(velmora_add_gtest target label)
  if(CMAKE_CROSSCOMPILING)
    velmora_add_wine_test(NAME ${target} COMMAND ${target} LABELS ${label})
  else()
    include(GoogleTest)
    gtest_discover_tests(${target} PROPERTIES LABELS ${label})
  endif()
endfunction()

# Every shipped program carries the marker exactly twice, as its own block:
# checked after each link (the build fails otherwise), and its template is
# compared byte for byte by a test.
function(velmora_shipped_binary target)
  # Shipped without symbols.
  target_link_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-s>)
  set(check python3 ${PROJECT_SOURCE_DIR}/scripts/check-marker.py ${PROJECT_SOURCE_DIR}/brand/core/OwnBlock.cpp)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${check} $<TARGET_FILE:${target}>
    VERBATIM)
  add_test(NAME ${target}_own_block COMMAND ${check} $<TARGET_FILE:${target}> --template)
  set_tests_properties(${target}_own_block PROPERTIES LABELS static)
endfunction()
