# The sanitizer build: KRVS_SANITIZE is handed to -fsanitize= for every target (compile and link).
if(NOT KRVS_SANITIZE)
  return()
endif()
if(KRVS_BUILD_FUZZ)
  message(FATAL_ERROR "KRVS_SANITIZE and KRVS_BUILD_FUZZ: the fuzz targets bring their own sanitizers; "
                      "configure them in a build directory of their own")
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
