# varnel_add_windows_resources(TARGET DESCRIPTION): embeds in a Windows
# program what every one of them carries: resources/windows/varnel.manifest
# (resource 1 of type RT_MANIFEST, the one Windows reads when it starts the
# program) and its version information (name, version, description,
# copyright and licence) from the project's version and VARNEL_COPYRIGHT.

# The version of the project() command, the one place it is set, as the four
# numbers of a binary version (FILEVERSION, PRODUCTVERSION): 1.0 is 1,0,0,0.
function(varnel_binary_version out)
  string(REPLACE "." ";" numbers "${PROJECT_VERSION}")
  list(LENGTH numbers count)
  if(count GREATER 4)
    message(FATAL_ERROR "The version ${PROJECT_VERSION} has more than four numbers")
  endif()
  foreach(number IN LISTS numbers)
    if(number GREATER 65535)
      message(FATAL_ERROR "The version ${PROJECT_VERSION} has a number above 65535")
    endif()
  endforeach()
  while(count LESS 4)
    list(APPEND numbers 0)
    math(EXPR count "${count} + 1")
  endwhile()
  list(JOIN numbers "," binary)
  set(${out} ${binary} PARENT_SCOPE)
endfunction()
varnel_binary_version(VARNEL_BINARY_VERSION)

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
