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

# Both manual pages from one source, gzip'd as Debian installs them; built with the programs.
set(HW_MAN_PAGES)
foreach(page hoardwise hoardwise-cli)
    set(out ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/doc/hoardwise.1.in -DPAGE=${page}
            -DVERSION=${PROJECT_VERSION} -DOUTPUT=${out} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        DEPENDS ${PROJECT_SOURCE_DIR}/doc/hoardwise.1.in ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        COMMENT "Manual page ${page}(1)" VERBATIM)
    list(APPEND HW_MAN_PAGES ${out})
endforeach()
# The package's changelog, gzip'd without name or time as Debian wants it. The package is
# native (its version has no Debian revision), so Debian names it changelog.gz.
set(HW_CHANGELOG ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${HW_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
    COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" sh ${PROJECT_SOURCE_DIR}/doc/changelog
        ${HW_CHANGELOG}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/changelog VERBATIM)
add_custom_target(hoardwise_docs ALL DEPENDS ${HW_MAN_PAGES} ${HW_CHANGELOG})
install(FILES ${HW_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/hoardwise-cli.bash-completion
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME hoardwise-cli)
install(FILES ${PROJECT_SOURCE_DIR}/doc/copyright ${HW_CHANGELOG}
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hoardwise)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Hoardwise developers")
set(CPACK_PACKAGE_CONTACT "Hoardwise developers <hoardwise@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up the unfinished downloads of an eDonkey-network client")
set(CPACK_PACKAGE_DESCRIPTION
    "Hoardwise guards the download state of an eDonkey-network client. It copies\n"
    "every *.part.met file of the client's temp folder, and any further files you\n"
    "list, into a backup folder, keeping the previous backup beside it, on request\n"
    "or every 1 to 120 minutes while the client runs. It restores the files on\n"
    "request, restarts the client (and one more program of your choice) when it\n"
    "has stopped, sits in the notification area, and speaks English and German.\n"
    "hoardwise-cli does the same without a window, also as a systemd user service.")
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
