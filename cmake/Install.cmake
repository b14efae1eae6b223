# Install rules (GNU layout) and the Debian package made by CPack.
include(GNUInstallDirs)

# Installed folders get the usual modes whatever the umask of the one who installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS hoardwise hoardwise-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The menu entry's Exec and the service unit's ExecStart name the installed programs; their
# folder is known only when installing (--prefix, DESTDIR or the package's /usr), so both are
# written then.
configure_file(${PROJECT_SOURCE_DIR}/cmake/InstallStartEntries.cmake.in
    ${PROJECT_BINARY_DIR}/InstallStartEntries.cmake @ONLY)
install(SCRIPT ${PROJECT_BINARY_DIR}/InstallStartEntries.cmake)

set(HW_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/resources/pictures/hoardwise.svg
    DESTINATION ${HW_ICON_DIR}/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${size}x${size}/hoardwise.png
        DESTINATION ${HW_ICON_DIR}/${size}x${size}/apps)
endforeach()

# AppStream wants the file named after the component id.
install(FILES ${PROJECT_SOURCE_DIR}/resources/hoardwise.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME org.example.hoardwise.metainfo.xml)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hoardwise)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Hoardwise developers")
set(CPACK_PACKAGE_CONTACT "Hoardwise developers <hoardwise@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up the unfinished downloads of an eDonkey-network client")
set(CPACK_PACKAGE_DESCRIPTION
    "Hoardwise guards the download state of an eDonkey-network client. It copies every\n"
    "*.part.met file of the client's temp folder, and any further files you list, into a\n"
    "backup folder, keeping the previous backup beside it, on request or every 1 to 120\n"
    "minutes while the client runs. It restores the files on request, restarts the client\n"
    "(and one more program of your choice) when it has stopped, sits in the notification\n"
    "area, and speaks English and German.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs speak German only with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
include(CPack)
