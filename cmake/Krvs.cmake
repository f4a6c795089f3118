# Shared helpers for the project's targets.

# krvs_library(name folder-sources... LINKS deps...): a library whose public headers live in include/.
function(krvs_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include
                                     PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  if(ARG_LINKS)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  endif()
  # Fail the configure step when a library below the GUI reaches for Qt.
  foreach(dep IN LISTS ARG_LINKS)
    if(dep MATCHES "^Qt")
      message(FATAL_ERROR "${name} must not link Qt (${dep})")
    endif()
  endforeach()
endfunction()

# krvs_tool(target file-name sources... LINKS deps...): a command-line tool placed in Bin/ under its
# DOS-style file name (TASM.Exe, TLink.Exe, DEBUG.EXE, krvscmd).
function(krvs_tool target filename)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LINKS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${filename}
                        RUNTIME_OUTPUT_DIRECTORY ${KRVS_TOOLS_DIR})
  # The tools are started for every build step and every debug session: linking the C++ runtime in
  # spares the dynamic loader most of its work at each start (bench/tlink/bench_toolchain measures it).
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION lib/korvash/Bin)
endfunction()

# krvs_gtest(target sources... LINKS deps...): one GoogleTest binary per library, registered with ctest.
function(krvs_gtest target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${target} PRIVATE
    KRVS_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    KRVS_TOOLS_DIR="${KRVS_TOOLS_DIR}")
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  include(GoogleTest)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
