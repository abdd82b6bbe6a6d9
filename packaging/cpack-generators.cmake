# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE): the Debian
# package comes from a dynamically linked build, the archive (TGZ) from a
# static one (DOSPREP_STATIC).
if(CPACK_GENERATOR STREQUAL "TGZ")
  if(NOT CPACK_DOSPREP_STATIC)
    message(FATAL_ERROR "cpack -G TGZ makes the archive of the static programs: "
                        "configure a build with -DDOSPREP_STATIC=ON and run cpack there")
  endif()
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_COMPONENTS_ALL static)
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_DOSPREP_ARCHIVE_NAME})
  set(CPACK_ARCHIVE_STATIC_FILE_NAME ${CPACK_DOSPREP_ARCHIVE_NAME})
elseif(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DOSPREP_STATIC)
  message(FATAL_ERROR "cpack -G DEB: this build links dosprep statically (DOSPREP_STATIC); "
                      "the Debian package comes from a build without it")
endif()
