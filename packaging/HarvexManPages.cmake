# Manual pages, written in scdoc and made into roff (gzipped, as Debian ships
# them) at build time: a few milliseconds each.
find_program(SCDOC_EXECUTABLE scdoc)
if(NOT SCDOC_EXECUTABLE)
  message(WARNING "scdoc not found: no manual pages (scripts/install-deps.sh installs it)")
  return()
endif()
set(pages harvex-cli)
if(HARVEX_GUI)
  list(APPEND pages harvex)
endif()
set(outputs)
foreach(page ${pages})
  set(source ${CMAKE_SOURCE_DIR}/docs/${page}.1.scd)
  set(roff ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1)
  # -n: no time stamp in the archive, so the same page gives the same package.
  add_custom_command(OUTPUT ${roff} ${roff}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND sh -c "'${SCDOC_EXECUTABLE}' < '${source}' > '${roff}' && gzip -9nc '${roff}' > '${roff}.gz'"
    DEPENDS ${source} VERBATIM)
  list(APPEND outputs ${roff} ${roff}.gz)
  install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(harvex_manpages ALL DEPENDS ${outputs})
set(HARVEX_MANDIR ${CMAKE_CURRENT_BINARY_DIR}/man PARENT_SCOPE)
