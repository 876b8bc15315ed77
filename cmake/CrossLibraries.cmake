# The 32-bit programs must start on Windows XP: every one of them gets the
# stand-in for the one function the C++ runtime needs that XP lacks.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_library(varnel_xp_support OBJECT ${PROJECT_SOURCE_DIR}/src/io/windows/xp_tick_count.cpp)
  target_link_libraries(varnel_xp_support PRIVATE varnel_options)
  link_libraries("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:$<TARGET_OBJECTS:varnel_xp_support>>")
endif()

enable_language(RC)
include(${CMAKE_CURRENT_LIST_DIR}/WindowsResources.cmake)

# What the Windows builds take from Debian's packages for Linux: the
# header-only CLI11 and nlohmann-json (their headers seen through a folder
# of their own, never the whole of /usr/include, whose C library headers
# would shadow MinGW's), and GoogleTest built from its sources.
set(VARNEL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${VARNEL_HOST_HEADERS})
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: install libcli11-dev and nlohmann-json3-dev")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${VARNEL_HOST_HEADERS}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
foreach(target CLI11::CLI11 nlohmann_json::nlohmann_json)
  set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES
                        ${VARNEL_HOST_HEADERS} INTERFACE_INCLUDE_DIRECTORIES ${VARNEL_HOST_HEADERS})
endforeach()

# zlib from Debian's MinGW-w64 package, linked in: libz.a, never the import
# library of a zlib1.dll that would have to lie beside every program.
set(ZLIB_USE_STATIC_LIBS ON)

if(VARNEL_BUILD_TESTS)
  set(VARNEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VARNEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
