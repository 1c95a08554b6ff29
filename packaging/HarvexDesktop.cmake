# The desktop program's metadata: the icon in the hicolor sizes desktops
# ask for, and the AppStream entry software centres show.
find_program(RSVG_CONVERT_EXECUTABLE rsvg-convert)
set(svg ${CMAKE_SOURCE_DIR}/src/gui/resources/harvex.svg)
if(RSVG_CONVERT_EXECUTABLE)
  set(icons)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/harvex.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT_EXECUTABLE} -w ${size} -h ${size} -o ${png} ${svg}
      DEPENDS ${svg} VERBATIM)
    list(APPEND icons ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(harvex_icons ALL DEPENDS ${icons})
else()
  message(WARNING "rsvg-convert not found: the icon is installed as SVG only (scripts/install-deps.sh installs it)")
endif()

# Software centres fetch screenshots from an address; data/screenshots/ holds
# the picture scripts/screenshots.sh took, to publish there.
set(HARVEX_SCREENSHOT_URL "https://harvex.example.org/screenshots/main.png"
  CACHE STRING "Where the AppStream entry's screenshot (data/screenshots/main.png) is published")
# The configure date, or SOURCE_DATE_EPOCH's for a reproducible package.
string(TIMESTAMP HARVEX_RELEASE_DATE "%Y-%m-%d" UTC)
set(HARVEX_METAINFO ${CMAKE_CURRENT_BINARY_DIR}/org.harvex.harvex.metainfo.xml)
set(HARVEX_METAINFO ${HARVEX_METAINFO} PARENT_SCOPE)
configure_file(metainfo.xml.in ${HARVEX_METAINFO} @ONLY)
install(FILES ${HARVEX_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
