# The Debian package (scripts/package): the four programs and their manual pages, the empty
# folder of trusted package-signing keys, with the runtime dependencies dpkg-shlibdeps finds and
# the version of project().
set(KR_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME})
# A package with a Debian revision (1.0.0-1) carries changelog.Debian.gz.
set(KR_CHANGELOG ${PROJECT_BINARY_DIR}/packaging/changelog.Debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${KR_CHANGELOG} @ONLY)
add_custom_command(
  OUTPUT ${KR_CHANGELOG}.gz
  COMMAND ${KR_GZIP} -9nkf ${KR_CHANGELOG}
  DEPENDS ${KR_CHANGELOG}
  VERBATIM)
add_custom_target(kr_changelog ALL DEPENDS ${KR_CHANGELOG}.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${KR_CHANGELOG}.gz DESTINATION ${KR_DOC_DIR})

# The updaters look in /etc/kr-updater/trusted-keys; scripts/package installs below /usr, whose
# configuration folder is /etc. The folder ships empty: a machine trusts no key until its
# administrator puts one there.
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/kr-updater/trusted-keys)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kr-updater maintainers <maintainers@kr-updater.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "updater for an installed Japanese construction-estimating application")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Applies an update package (its manifest KrInst.ini) to an installed
construction-estimating application: program files with dated backups,
component registration, file and folder removal, shortcuts, XML settings and
the update routines that migrate the application's Access price databases
while keeping the prices users typed in.
.
kr-updater is the desktop program (Qt), kr-updater-cli the console one; krdb
inspects and changes the application's databases; kr-package signs update
packages, which the updaters then verify against the keys in
/etc/kr-updater/trusted-keys. All user-facing text is Japanese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Named as well as found by shlibdeps: Access files are read through it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmdb3")
# Japanese text needs a font that has it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
