# One static library per source folder, and one GoogleTest program per library
# from the mirrored folder under tests/.
#
#   vantrel_module(<name> <folder> DEPS <targets...> [QT <components...>]
#                  [TEST_DEPS <modules...>] [TEST_EACH])
#
# Sources are the folder's *.cpp files (found again whenever a file is added).
# Qt is linked privately: only our own .cpp files include its headers.
# In a test folder, *_test.cpp files hold tests and every other .cpp file is
# test support (test doubles, fixtures). TEST_DEPS names lower modules whose
# test support this module's tests reuse (e.g. the in-memory test dataset).
# TEST_EACH registers every test of the program as a ctest entry of its own
# (each then runs in a process of its own), for programs too long to run as one.

set(VANTREL_MODULES "" CACHE INTERNAL "")
include(GoogleTest)

# The time limit of one test entry. The slowest program run as one entry takes
# about 15 s, and about four times that in the sanitizer build; the margin
# covers a loaded machine. A test that waits for something that never comes
# fails at the limit instead of holding up the suite.
if(VANTREL_SANITIZE)
  set(VANTREL_TEST_TIMEOUT 240)
else()
  set(VANTREL_TEST_TIMEOUT 60)
endif()
# How long a test waits for something before it fails with what it waited
# for (tests/platform/classlib/core/deadline.h): a third of the entry's limit,
# so that the named failure shows before ctest ends the program without a word.
math(EXPR VANTREL_WAIT_LIMIT_MS "${VANTREL_TEST_TIMEOUT} * 1000 / 3")

function(vantrel_module name folder)
  cmake_parse_arguments(M "TEST_EACH" "" "DEPS;QT;TEST_DEPS" ${ARGN})
  set(dir ${CMAKE_SOURCE_DIR}/${folder})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()

  set(deps "")
  foreach(d IN LISTS M_DEPS)
    if(TARGET ${d} OR d MATCHES "::")
      list(APPEND deps ${d})
    endif()
  endforeach()

  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${deps})
  target_compile_options(${name} PRIVATE -Wall -Wextra)
  if(M_QT)
    set(qtlibs "")
    foreach(c IN LISTS M_QT)
      list(APPEND qtlibs Qt6::${c})
    endforeach()
    target_link_libraries(${name} PRIVATE ${qtlibs})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  set(VANTREL_MODULES ${VANTREL_MODULES} ${name} CACHE INTERNAL "")

  if(VANTREL_BUILD_TESTS)
    set(tdir ${CMAKE_SOURCE_DIR}/tests/${folder})
    file(GLOB_RECURSE tests CONFIGURE_DEPENDS ${tdir}/*.cpp)
    set(support ${tests})
    list(FILTER support EXCLUDE REGEX "_test\\.cpp$")
    set(VANTREL_TEST_SUPPORT_${name} ${support} CACHE INTERNAL "")
    foreach(d IN LISTS M_TEST_DEPS)
      list(APPEND tests ${VANTREL_TEST_SUPPORT_${d}})
    endforeach()
    if(tests)
      add_executable(${name}_tests ${tests})
      target_link_libraries(${name}_tests PRIVATE ${name} GTest::gtest GTest::gmock
                            GTest::gtest_main Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Test)
      target_include_directories(${name}_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
      target_compile_options(${name}_tests PRIVATE -Wall -Wextra)
      target_compile_definitions(${name}_tests PRIVATE VANTREL_WAIT_LIMIT_MS=${VANTREL_WAIT_LIMIT_MS})
      set_target_properties(${name}_tests PROPERTIES AUTOMOC ON)
      # Every test file parses the test framework and much of the standard
      # library: parsed once per program instead. Qt stays out, as its keyword
      # macros (slots, signals) would reach files that never include it.
      target_precompile_headers(${name}_tests PRIVATE <gtest/gtest.h> <gmock/gmock.h>
                                <algorithm> <filesystem> <fstream> <functional> <map>
                                <memory> <sstream> <string> <vector>)
      if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        # Without its time stamp the precompiled header can come from ccache.
        target_compile_options(${name}_tests PRIVATE -Xclang -fno-pch-timestamp)
      elseif(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        # g++ 12 stops treating the standard headers as system headers when they
        # come precompiled, and then reports its own string code's known false
        # findings (std::string(n, c) + "text": "array bounds", "overflows the
        # destination"). The libraries keep both warnings.
        target_compile_options(${name}_tests PRIVATE -Wno-array-bounds -Wno-stringop-overflow)
      endif()
      # GUI tests draw on Qt's offscreen platform; settings go to a scratch folder.
      set(environment "QT_QPA_PLATFORM=offscreen;VANTREL_REGISTRY_DIR=${CMAKE_BINARY_DIR}/test-registry/${name};VANTREL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
      if(M_TEST_EACH)
        # One ctest entry per test ("<name>.<Suite>.<Test>"), so that ctest runs a
        # long program's tests side by side. The list is read when ctest starts,
        # so the build never runs the program.
        gtest_discover_tests(${name}_tests TEST_PREFIX "${name}." EXTRA_ARGS --gtest_brief=1
                             WORKING_DIRECTORY ${CMAKE_BINARY_DIR} DISCOVERY_MODE PRE_TEST
                             DISCOVERY_TIMEOUT 60  # a sanitizer build on a busy machine starts slowly
                             PROPERTIES TIMEOUT ${VANTREL_TEST_TIMEOUT} ENVIRONMENT "${environment}")
      else()
        add_test(NAME ${name} COMMAND ${name}_tests --gtest_brief=1
                 WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
        set_tests_properties(${name} PROPERTIES TIMEOUT ${VANTREL_TEST_TIMEOUT}
                             ENVIRONMENT "${environment}")
      endif()
    endif()
  endif()
endfunction()
