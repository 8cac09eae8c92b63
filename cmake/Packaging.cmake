# Installation and the Debian package (make deb): both executables, the menu entry, the icon, the
# AppStream metainfo, the manual pages, the bash completion, the copyright and the changelog.
include(GNUInstallDirs)
set(QV_PACKAGE_VERSION "${PROJECT_VERSION}.${QV_BUILD_NUMBER_EFFECTIVE}")
set(QV_PKG ${CMAKE_SOURCE_DIR}/data/packaging)
set(QV_PKG_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${QV_PKG_OUT})

# Compressed without names or times, as Debian wants them.
find_program(QV_GZIP gzip REQUIRED)
configure_file(${QV_PKG}/changelog.in ${QV_PKG_OUT}/changelog @ONLY)
add_custom_command(OUTPUT ${QV_PKG_OUT}/changelog.gz
                   COMMAND ${QV_GZIP} -9n -c ${QV_PKG_OUT}/changelog > ${QV_PKG_OUT}/changelog.gz
                   DEPENDS ${QV_PKG_OUT}/changelog VERBATIM)
list(APPEND QV_PKG_GZ ${QV_PKG_OUT}/changelog.gz)
# The manual pages in English (man1) and Italian (it/man1), made by qv_manpages from the programs'
# own help tables.
set(QV_MAN_PAGES man1/quorvanta.1 man1/quorvanta-cli.1 it/man1/quorvanta.1 it/man1/quorvanta-cli.1)
list(TRANSFORM QV_MAN_PAGES PREPEND ${QV_PKG_OUT}/ OUTPUT_VARIABLE QV_MAN_FILES)
add_custom_command(OUTPUT ${QV_MAN_FILES} COMMAND qv_manpages ${QV_PKG_OUT} DEPENDS qv_manpages VERBATIM)
foreach(page IN LISTS QV_MAN_PAGES)
  add_custom_command(OUTPUT ${QV_PKG_OUT}/${page}.gz
                     COMMAND ${QV_GZIP} -9n -c ${QV_PKG_OUT}/${page} > ${QV_PKG_OUT}/${page}.gz
                     DEPENDS ${QV_PKG_OUT}/${page} VERBATIM)
  list(APPEND QV_PKG_GZ ${QV_PKG_OUT}/${page}.gz)
endforeach()
add_custom_target(qv_packaging_files ALL DEPENDS ${QV_PKG_GZ})

install(TARGETS quorvanta-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(QV_BUILD_GUI)
  install(TARGETS quorvanta RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QV_PKG}/org.quorvanta.Quorvanta.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QV_PKG}/quorvanta.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${QV_PKG}/org.quorvanta.Quorvanta.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${QV_PKG_OUT}/man1/quorvanta.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${QV_PKG_OUT}/it/man1/quorvanta.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/it/man1)
endif()
install(FILES ${QV_PKG_OUT}/man1/quorvanta-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QV_PKG_OUT}/it/man1/quorvanta-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/it/man1)
install(FILES ${QV_PKG}/quorvanta-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME quorvanta-cli)
install(FILES ${QV_PKG}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvanta)
install(FILES ${QV_PKG_OUT}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvanta)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvanta)
set(CPACK_PACKAGE_VERSION ${QV_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvanta <maintainers@quorvanta.example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorvanta <maintainers@quorvanta.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cost meter for metered dial-up connections")
set(CPACK_PACKAGE_DESCRIPTION "Quorvanta notices when a dial-up connection made through pppd, or a
modem of ModemManager, is dialled and prices every second of it from the
user's tariffs: time bands by time of day and kind of day, holidays, pulses
or per-minute rates, connection charges and free-time allowances. It shows
time, pulses and cost in a small window and a tray icon, logs every
connection and draws statistics, tariff comparisons and printed reports.
The user interface is Italian.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvanta.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ppp")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "modemmanager, smbclient")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
