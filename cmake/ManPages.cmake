# varnel_install_man_page(PAGE): installs the man page PAGE (a path relative
# to the calling folder, named NAME.SECTION) gzipped, as Debian and most
# other systems keep them. -n leaves out the name and time, so the same page
# always gives the same bytes.
function(varnel_install_man_page page)
  get_filename_component(name ${page} NAME)
  string(REGEX MATCH "[0-9]$" section ${name})
  if(NOT section)
    message(FATAL_ERROR "The man page ${page} has no section number at the end of its name")
  endif()
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${page})
  set(gzipped ${CMAKE_BINARY_DIR}/man/${name}.gz)
  add_custom_command(OUTPUT ${gzipped}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9 -n -c ${source} > ${gzipped}
    DEPENDS ${source}
    COMMENT "Compressing the man page ${name}")
  add_custom_target(man-${name} ALL DEPENDS ${gzipped})
  install(FILES ${gzipped} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
