# Installation and Debian packages.
#
# Two packages: `quorlix`, the service form (widget-free /usr/bin/quorlix, quorlix-sim, the systemd
# unit quorlix@.service, the schemas and demonstration data, an example configuration), which
# needs no X or GL libraries; and `quorlix-desktop`, the program with its windows and tray icon
# (/usr/bin/quorlix-desktop, desktop entry, autostart example, icons), which depends on the first.
include(GNUInstallDirs)
set(QUORLIX_SHARE ${CMAKE_INSTALL_DATADIR}/quorlix)
set(QUORLIX_DOC ${CMAKE_INSTALL_DATADIR}/doc/quorlix)

# The programs go in under their installed names, without their debugging symbols.
function(quorlix_install_program target name component)
  install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${name} COMPONENT ${component})
  install(CODE "execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\")"
          COMPONENT ${component})
endfunction()

if(QUORLIX_WIDGETS)
  quorlix_install_program(quorlix-service quorlix service)
  quorlix_install_program(quorlix quorlix-desktop desktop)
  install(FILES packaging/quorlix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
  install(FILES packaging/quorlix-autostart.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorlix-desktop/examples
          COMPONENT desktop)
  install(DIRECTORY icons/ DESTINATION ${QUORLIX_SHARE}/icons COMPONENT desktop)
else()
  quorlix_install_program(quorlix quorlix service)
endif()
quorlix_install_program(quorlix-sim quorlix-sim service)
install(DIRECTORY sql/ DESTINATION ${QUORLIX_SHARE}/sql COMPONENT service)
install(DIRECTORY tools/sim/scripts/ DESTINATION ${QUORLIX_SHARE}/sim COMPONENT service)
install(FILES README.md docs/architecture.md DESTINATION ${QUORLIX_DOC} COMPONENT service)
install(FILES packaging/example-analyzer.conf DESTINATION ${QUORLIX_DOC}/examples COMPONENT service)
# The site's own files: conffiles, never overwritten by an upgrade once changed.
install(FILES packaging/quorlix.ini DESTINATION /etc/quorlix COMPONENT service)
install(DIRECTORY DESTINATION /etc/quorlix/analyzers COMPONENT service)
install(FILES packaging/quorlix@.service DESTINATION /lib/systemd/system COMPONENT service)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorlix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorlix developers <quorlix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Laboratory instrument interface")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL service desktop)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # NAME_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_SERVICE_PACKAGE_NAME quorlix)
set(CPACK_DEBIAN_SERVICE_PACKAGE_DEPENDS
    "adduser, libqt6core6, libqt6network6, libqt6sql6, libqt6serialport6, libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-odbc")
set(CPACK_DEBIAN_SERVICE_DESCRIPTION
    "Laboratory instrument interface: the service form\n One process per analyzer speaks its line protocol and files its results into the laboratory\n SQL database; run by systemd as quorlix@NAME. No windows, no X or GL libraries.")
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/conffiles ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_SERVICE_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME quorlix-desktop)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "quorlix (= ${PROJECT_VERSION}), libqt6widgets6, libqt6gui6, libqt6charts6")
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "Laboratory instrument interface: the desktop program\n The interface with its tray icon, main window and operator windows.")
include(CPack)
