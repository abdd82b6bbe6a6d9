# Installation layout, manual pages, bash completion and the Debian package.
# Included at the end of the top-level CMakeLists.txt; every path below is
# relative to the install prefix, so DESTDIR and --prefix both work.

set(DOSPREP_MAINTAINER "dosprep maintainers <dosprep-maint@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

set(DOSPREP_DOCDIR share/doc/dosprep)
set(dosprep_pkg ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(dosprep_gen ${CMAKE_CURRENT_BINARY_DIR}/packaging)

install(TARGETS dosprep RUNTIME DESTINATION sbin)
install(TARGETS dosprep_sfdisk RUNTIME DESTINATION lib/dosprep/bin)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completion/dosprep.bash
        DESTINATION share/bash-completion/completions RENAME dosprep)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completion/dosprep-sandbox.bash
        DESTINATION share/bash-completion/completions RENAME dosprep-sandbox)

# The rehearsal sandbox installs its own pieces (sandbox/CMakeLists.txt:
# sbin/dosprep-sandbox, its parts in lib/dosprep/sandbox, sandbox-loop and
# lib/dosprep/libdosprep-geometry.so); its manual
# page comes from here.
set(dosprep_pages dosprep.8)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/sandbox/dosprep-sandbox)
  list(APPEND dosprep_pages dosprep-sandbox.8)
endif()

# Manual pages and the changelog are installed compressed, as Debian wants
# them: gzip -9n gives the same bytes on every build.
find_program(DOSPREP_GZIP gzip REQUIRED)
configure_file(${dosprep_pkg}/changelog.in ${dosprep_gen}/changelog @ONLY)
set(dosprep_gz ${dosprep_gen}/changelog.gz)
add_custom_command(OUTPUT ${dosprep_gen}/changelog.gz
  COMMAND ${DOSPREP_GZIP} -9n -c ${dosprep_gen}/changelog > ${dosprep_gen}/changelog.gz
  DEPENDS ${dosprep_gen}/changelog VERBATIM)
foreach(page ${dosprep_pages})
  add_custom_command(OUTPUT ${dosprep_gen}/${page}.gz
    COMMAND ${DOSPREP_GZIP} -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/docs/${page} > ${dosprep_gen}/${page}.gz
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/${page} VERBATIM)
  list(APPEND dosprep_gz ${dosprep_gen}/${page}.gz)
  install(FILES ${dosprep_gen}/${page}.gz DESTINATION share/man/man8)
endforeach()
add_custom_target(dosprep-docs ALL DEPENDS ${dosprep_gz})
install(FILES ${dosprep_gen}/changelog.gz ${dosprep_pkg}/copyright DESTINATION ${DOSPREP_DOCDIR})
install(FILES ${dosprep_pkg}/lintian-overrides DESTINATION share/lintian/overrides RENAME dosprep)

# The release archive for installation environments without the GNU C
# library: cpack -G TGZ in a DOSPREP_STATIC build. Its own component, left
# out of cmake --install and of the Debian package; unpacked anywhere, its
# bin/dosprep finds ../lib/dosprep/bin/sfdisk (src/toolpath.cpp).
if(DOSPREP_STATIC)
  install(TARGETS dosprep RUNTIME DESTINATION bin COMPONENT static EXCLUDE_FROM_ALL)
  install(TARGETS dosprep_sfdisk RUNTIME DESTINATION lib/dosprep/bin COMPONENT static EXCLUDE_FROM_ALL)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/docs/dosprep.8 DESTINATION share/man/man8
          COMPONENT static EXCLUDE_FROM_ALL)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/COPYING DESTINATION . COMPONENT static EXCLUDE_FROM_ALL)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" dosprep_platform)
  set(CPACK_DOSPREP_ARCHIVE_NAME dosprep-${PROJECT_VERSION}-${dosprep_platform}-static)
endif()
set(CPACK_DOSPREP_STATIC ${DOSPREP_STATIC})
set(CPACK_PROJECT_CONFIG_FILE ${dosprep_pkg}/cpack-generators.cmake)

# cpack -G DEB, from the build directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dosprep)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${DOSPREP_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prepare the DOS boot partition of a machine's boot disk")
set(CPACK_PACKAGE_DESCRIPTION
"dosprep is one step of an automated installation: run as root, it creates
the FAT16 or FAT32 boot partition of the boot disk with sfdisk, patches the
disk geometry into the boot sector image and writes it, builds the FAT32
boot area, stamps BIOS drive numbers into the further disks, and offers a
hex view, a binary compare and a partition size check.

dosprep-sandbox rehearses any dosprep command line on a simulated disk of a
given geometry, with the engineer's own data files, and reports what it
would change, without touching the machine's disks.")
# GPL-2.0-or-later: COPYING holds the text, packaging/copyright names it in
# Debian's machine-readable form.
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/COPYING)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DOSPREP_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# sfdisk is in fdisk, dd and ls in coreutils; the sandbox needs unshare
# and partx (util-linux), mount (mount), mkfs.fat (dosfstools) and mcopy
# (mtools), QEMU for its boot check and --vm, a static busybox for the VM's
# initramfs (busybox-static) and mkfs.ext4 (e2fsprogs) for --start dos.
# coreutils and util-linux are essential: Debian wants their versions named.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fdisk, coreutils (>= 8.30), util-linux (>= 2.33), mount, dosfstools, mtools")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qemu-system-x86, e2fsprogs, busybox-static")
# The C library's version comes from dpkg-shlibdeps (dpkg-dev, file) when
# the machine has them.
find_program(DOSPREP_SHLIBDEPS dpkg-shlibdeps)
find_program(DOSPREP_FILE file)
if(DOSPREP_SHLIBDEPS AND DOSPREP_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libc6")
endif()
include(CPack)
