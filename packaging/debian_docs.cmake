# Run by CPack while it stages the Debian package (never by a plain install):
# adds the copyright file and the changelog every Debian package carries.
# CPack stages into DESTDIR; without one this would write into the system.
if("$ENV{DESTDIR}" STREQUAL "")
  message(FATAL_ERROR "debian_docs.cmake runs only inside CPack's staging install")
endif()
set(doc_dir "$ENV{DESTDIR}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_DEBIAN_PACKAGE_NAME}")
file(COPY "${CPACK_VARNEL_PACKAGING_DIR}/copyright" DESTINATION "${doc_dir}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# A package whose version has no Debian revision is native: its changelog
# is changelog.gz. Dated now, or at SOURCE_DATE_EPOCH for a reproducible build.
string(TIMESTAMP VARNEL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file("${CPACK_VARNEL_PACKAGING_DIR}/changelog.in" "${doc_dir}/changelog" @ONLY)
execute_process(COMMAND gzip -9 -n -f "${doc_dir}/changelog" RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${doc_dir}/changelog")
endif()
