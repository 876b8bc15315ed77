# varnel_add_windows_manifest(TARGET): embeds resources/windows/varnel.manifest
# in a Windows program (resource 1 of type RT_MANIFEST, the one Windows reads
# when it starts the program).
function(varnel_add_windows_manifest target)
  set(manifest ${PROJECT_SOURCE_DIR}/resources/windows/varnel.manifest)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
  file(CONFIGURE OUTPUT ${script} CONTENT "1 24 \"${manifest}\"\n")
  target_sources(${target} PRIVATE ${script})
  set_property(SOURCE ${script} APPEND PROPERTY OBJECT_DEPENDS ${manifest})
endfunction()
