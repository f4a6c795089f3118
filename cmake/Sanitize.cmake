# The sanitizer build: KRVS_SANITIZE is handed to -fsanitize= for every target (compile and link).
# krvs_sanitize_programs(): called once every target exists; gives each program the leak checker's list
# of system libraries whose leaks are not ours.
function(krvs_sanitize_programs)
  if(NOT KRVS_SANITIZE MATCHES "address" OR KRVS_BUILD_FUZZ)
    return()
  endif()
  krvs_targets_below(${PROJECT_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/lsan_suppressions.cpp)
    endif()
  endforeach()
endfunction()

# The fuzz build: every library carries the fuzzer's coverage and the sanitizers, so that the fuzz
# targets (fuzz/, krvs_fuzz) link the libraries as the product does instead of compiling their sources.
if(KRVS_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KRVS_BUILD_FUZZ needs clang: configure a build directory of its own with "
                        "CXX=clang++ -DKRVS_BUILD_FUZZ=ON -DKRVS_BUILD_GUI=OFF")
  endif()
  if(NOT KRVS_SANITIZE)
    set(KRVS_SANITIZE address,undefined)
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(NOT KRVS_SANITIZE)
  return()
endif()
if(NOT KRVS_SANITIZE MATCHES "^[a-z,]+$")
  message(FATAL_ERROR "KRVS_SANITIZE must be a comma-separated list such as address,undefined (got '${KRVS_SANITIZE}')")
endif()
message(STATUS "Sanitizers: ${KRVS_SANITIZE}")
add_compile_options(-fsanitize=${KRVS_SANITIZE} -fno-omit-frame-pointer)
add_link_options(-fsanitize=${KRVS_SANITIZE})
# Undefined behaviour would otherwise only print a line and let the program, and its test, go on.
if(KRVS_SANITIZE MATCHES "undefined")
  add_compile_options(-fno-sanitize-recover=undefined)
endif()

