# The desktop install: the program directory lib/korvash (korvash, Bin/, KRVS.html, WD.dat, Examples/) as
# the build tree's bin/ holds it, bin/korvash as a link to it, the desktop entry and the icons.
# The rules for korvash itself and the tools sit beside their targets (src/ide, krvs_tool); the files
# other steps generate or copy into the build tree's program directory are installed from there, so
# that an installed copy is the tree the tests ran against.
set(KRVS_INSTALL_DIR lib/korvash)

install(FILES ${KRVS_BIN_DIR}/KRVS.html DESTINATION ${KRVS_INSTALL_DIR})  # written by src/doc's krvsdoc
install(DIRECTORY ${KRVS_EXAMPLES_DIR} DESTINATION ${KRVS_INSTALL_DIR})  # resources/examples
if(NOT KRVS_BUILD_GUI)
  return()  # the tools alone: no IDE to put on the desktop
endif()
install(FILES ${KRVS_BIN_DIR}/WD.dat DESTINATION ${KRVS_INSTALL_DIR})
# The console window's and TD's settings, written by the tools after they are linked.
install(FILES ${KRVS_TOOLS_DIR}/TD.Pif ${KRVS_TOOLS_DIR}/TDConfig.TD DESTINATION ${KRVS_INSTALL_DIR}/Bin)

# The icon: one SVG drawn by hand, rendered to the sizes the desktop's icon theme looks up.
find_program(KRVS_RSVG_CONVERT rsvg-convert REQUIRED)
set(KRVS_ICON_SVG ${PROJECT_SOURCE_DIR}/resources/icons/korvash.svg)
set(KRVS_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_pngs "")
foreach(size IN LISTS KRVS_ICON_SIZES)
  set(png ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/korvash.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/hicolor/${size}x${size}/apps
    COMMAND ${KRVS_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${KRVS_ICON_SVG}
    DEPENDS ${KRVS_ICON_SVG} VERBATIM)
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
# The program's own copy beside it: the association the IDE writes for the user points its Icon= here,
# and the IDE draws one only when none is there.
set(program_png ${KRVS_BIN_DIR}/korvash.png)
add_custom_command(OUTPUT ${program_png}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/icons/hicolor/64x64/apps/korvash.png ${program_png}
  DEPENDS ${CMAKE_BINARY_DIR}/icons/hicolor/64x64/apps/korvash.png VERBATIM)
add_custom_target(icons ALL DEPENDS ${icon_pngs} ${program_png})
install(FILES ${program_png} DESTINATION ${KRVS_INSTALL_DIR})
install(FILES ${KRVS_ICON_SVG} DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/korvash.desktop DESTINATION share/applications)
