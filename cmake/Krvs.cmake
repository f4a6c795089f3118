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

# krvs_tool(target file-name [WINDOWED] SOURCES sources... LINKS deps...): a tool placed in Bin/ under
# its DOS-style file name (TASM.Exe, TLink.Exe, DEBUG.EXE, krvscmd). WINDOWED marks a tool that opens a
# Qt window (Rtm.EXe, TD.Exe): Qt is a shared library, so such a tool cannot be linked statically.
function(krvs_tool target filename)
  cmake_parse_arguments(ARG "WINDOWED" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LINKS})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${filename}
                        RUNTIME_OUTPUT_DIRECTORY ${KRVS_TOOLS_DIR})
  # The tools are started for every build step and every debug session. Linked statically, they skip
  # the dynamic loader at each start (bench/tools/bench_tools) and map no shared library pages; with
  # --gc-sections they also leave out the functions they never call. Together that is 1 MB off the
  # assembler's peak memory on a 100,000-line program (bench/tasm). The tools use nothing of the C
  # library that needs its shared modules (no user or host look-ups, no dlopen). They are not
  # position-independent: a static PIE peaked 0.1-0.3 MB higher, varying with where its pages land
  # (docs/decisions.md weighs the address randomization given up). Qt and the sanitizers' runtimes
  # cannot be linked statically: there only the C++ runtime is linked in.
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    if(ARG_WINDOWED OR KRVS_SANITIZE OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
      target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    else()
      target_link_options(${target} PRIVATE -static -Wl,--gc-sections)
    endif()
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

# krvs_check_links(): every target under src/ may link only the libraries its folder's row in
# docs/architecture.md allows ("may link"), besides the targets of its own row. The table is read at
# configure time, so a new dependency means a new entry in the table, where a reader of the design sees it.
# Row format: | `src/<folder>/` | `<library>` and further targets in backticks | what | may link |
# "may link" holds library names, "—" for none, "all above" for every row above, and "Qt".
function(krvs_check_links)
  set(table ${PROJECT_SOURCE_DIR}/docs/architecture.md)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(STRINGS ${table} rows ENCODING UTF-8 REGEX "^\\| `src/")
  set(folders "")
  set(libraries "")
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^\\| `src/([a-z0-9_]+)/?\\*?` \\| ([^|]+) \\| [^|]* \\| ([^|]+) \\|$")
      message(FATAL_ERROR "docs/architecture.md: a table row is not '| `src/folder/` | `targets` | what | may link |':\n${row}")
    endif()
    set(folder ${CMAKE_MATCH_1})
    set(may ${CMAKE_MATCH_3})
    string(REGEX MATCHALL "`[^`]+`" own "${CMAKE_MATCH_2}")
    string(REPLACE "`" "" own "${own}")
    list(GET own 0 library)
    set(allowed ${own})
    string(REPLACE "," ";" may "${may}")
    foreach(item IN LISTS may)
      string(STRIP "${item}" item)
      if(item STREQUAL "all above")
        list(APPEND allowed ${libraries})
      elseif(NOT item STREQUAL "—")
        list(APPEND allowed ${item})
      endif()
    endforeach()
    list(APPEND folders ${folder})
    list(APPEND libraries ${library})
    set(row_library_${folder} ${library})
    set(row_allowed_${folder} ${allowed})
  endforeach()

  krvs_targets_below(${PROJECT_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    get_target_property(dir ${target} SOURCE_DIR)
    if(NOT dir MATCHES "^${PROJECT_SOURCE_DIR}/src/")
      continue()  # tests, benchmarks and fuzz targets link what they exercise
    endif()
    krvs_folder_of(${target} folder)
    if(NOT folder IN_LIST folders)
      message(FATAL_ERROR "src/${folder} (target ${target}) has no row in docs/architecture.md's table: "
                          "add one that says what the folder may link")
    endif()
    get_target_property(deps ${target} LINK_LIBRARIES)
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    foreach(dep IN LISTS deps interface)
      if(dep MATCHES "^Qt")
        set(dep_library Qt)
      elseif(TARGET ${dep})
        get_target_property(dep_dir ${dep} SOURCE_DIR)
        get_target_property(dep_imported ${dep} IMPORTED)
        if(dep_imported OR NOT dep_dir MATCHES "^${PROJECT_SOURCE_DIR}/src/")
          continue()  # a system library (GoogleTest, zlib): not part of the layering
        endif()
        krvs_folder_of(${dep} dep_folder)
        set(dep_library ${row_library_${dep_folder}})
      else()
        continue()  # a library file found on the system (QScintilla, SimpleIni) or a generator expression
      endif()
      if(NOT dep_library IN_LIST row_allowed_${folder})
        list(JOIN row_allowed_${folder} ", " allowed)
        message(FATAL_ERROR "${target} (src/${folder}) links ${dep}, which its row in docs/architecture.md "
                            "does not allow (allowed: ${allowed}). Change the dependency, "
                            "or the design and its table.")
      endif()
    endforeach()
  endforeach()
endfunction()

# The first folder below src/ of the directory that defines `target`.
function(krvs_folder_of target out)
  get_target_property(dir ${target} SOURCE_DIR)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/src ${dir})
  string(REGEX REPLACE "/.*" "" rel "${rel}")
  set(${out} ${rel} PARENT_SCOPE)
endfunction()

# Every target defined in `dir` or a directory below it.
function(krvs_targets_below dir out)
  get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    krvs_targets_below(${sub} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# krvs_fuzz(target SOURCES... LINKS...): a libFuzzer target over the libraries it links, which the fuzz
# build compiles with coverage and the sanitizers (cmake/Sanitize.cmake).
function(krvs_fuzz target)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LINKS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endfunction()
