# varnel_add_windows_resources(TARGET DESCRIPTION): embeds in a Windows
# program what every one of them carries: resources/windows/varnel.manifest
# (resource 1 of type RT_MANIFEST, the one Windows reads when it starts the
# program) and its version information (name, version, description,
# copyright and licence) from the project's version and VARNEL_COPYRIGHT.
function(varnel_add_windows_resources target description)
  set(manifest ${PROJECT_SOURCE_DIR}/resources/windows/varnel.manifest)
  set(template ${PROJECT_SOURCE_DIR}/resources/windows/version.rc.in)
  set(VARNEL_FILE_DESCRIPTION "${description}")
  set(VARNEL_PROGRAM_NAME ${target})
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  configure_file(${template} ${script} @ONLY)
  target_sources(${target} PRIVATE ${script})
  set_property(SOURCE ${script} APPEND PROPERTY OBJECT_DEPENDS ${manifest})
endfunction()
