# `cpack -G DEB` in a release build makes stammerix_VERSION_amd64.deb: both editions in the
# folders hosts search without being told (/usr/lib/lv2, /usr/lib/vst), the render tool with
# its manual page, and the README, license and changelog where Debian keeps them.

# What only the package carries; the Debian changelog's newest entry takes the project's version.
set(STAMMERIX_DOC_DIR share/doc/stammerix)
set(STAMMERIX_CHANGELOG ${CMAKE_BINARY_DIR}/generated/changelog)
configure_file(${CMAKE_SOURCE_DIR}/packaging/deb/changelog.in ${STAMMERIX_CHANGELOG} @ONLY)
add_custom_command(OUTPUT ${STAMMERIX_CHANGELOG}.gz
  COMMAND gzip -9n -c ${STAMMERIX_CHANGELOG} > ${STAMMERIX_CHANGELOG}.gz
  DEPENDS ${STAMMERIX_CHANGELOG} VERBATIM)
add_custom_target(stammerix-changelog ALL DEPENDS ${STAMMERIX_CHANGELOG}.gz)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/packaging/deb/copyright
  DESTINATION ${STAMMERIX_DOC_DIR} COMPONENT package EXCLUDE_FROM_ALL)
install(FILES ${STAMMERIX_CHANGELOG}.gz RENAME changelog.gz
  DESTINATION ${STAMMERIX_DOC_DIR} COMPONENT package EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME stammerix)
set(CPACK_PACKAGE_VENDOR "The Stammerix developers")
set(CPACK_PACKAGE_CONTACT "The Stammerix developers <developers@stammerix-loop.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo loop recorder plug-in (LV2 and 2.x module)")
# Debian's description: paragraphs of lines of at most 80 characters, "." between them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Stammerix records its input into a one-bar loop that follows the host's\n"
  "transport and tempo, in eight recording types (overwrite, overdub or erase at\n"
  "the playing bar position or at a free-running position of its own, or\n"
  "monitor), switched by two automatable parameters, by MIDI notes and by push\n"
  "buttons in its editor, which also shows an oscilloscope of the loop.\n"
  ".\n"
  "This package holds the LV2 plug-in, whose loop is saved with the host's\n"
  "session; the same effect as a module for hosts that load the classic 2.x\n"
  "plug-in interface; and stammerix-render, which plays audio and MIDI files\n"
  "through the module offline.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# One package of both components: what a source install puts in and what only the package adds.
set(CPACK_COMPONENTS_ALL Unspecified package)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://stammerix-loop.io/)
# The dependencies are read from the binaries' shared libraries (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
