# Installation and the Debian package: the two programs, the help page, the menu entry with its
# icons and the manual page, where a Linux desktop looks for them.
#
#   cmake --install build [--prefix /usr]
#   cd build && cpack -G DEB
#
# Included at the end of the top-level CMakeLists.txt, after all programs are defined.

set(VERSALO_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")

# The window program installs itself from ui/main_window.
install(TARGETS versalo-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

# The help button finds the page beside the program in the build folder and here once installed.
install(FILES "${PROJECT_SOURCE_DIR}/docs/hilfe.htm" DESTINATION "${CMAKE_INSTALL_DATADIR}/versalo")

if(VERSALO_BUILD_GUI)
    install(FILES "${VERSALO_PACKAGING_DIR}/versalo.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    # The window icon in the two sizes the window itself uses, for menus and task bars.
    foreach(size 16 32)
        set(icon "${PROJECT_SOURCE_DIR}/ui/main_window/resources/icon-${size}.png")
        if(EXISTS "${icon}")
            install(FILES "${icon}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
                    RENAME versalo.png)
        else()
            message(WARNING "Window icon ${icon} is missing; it will not be installed")
        endif()
    endforeach()
endif()

# Manual pages are kept compressed, as Debian wants them; man reads them either way.
configure_file("${VERSALO_PACKAGING_DIR}/versalo-cli.1" "${CMAKE_BINARY_DIR}/packaging/versalo-cli.1" @ONLY)
find_program(VERSALO_GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/packaging/versalo-cli.1.gz"
                   COMMAND "${VERSALO_GZIP}" -9 -n -c "${CMAKE_BINARY_DIR}/packaging/versalo-cli.1"
                           > "${CMAKE_BINARY_DIR}/packaging/versalo-cli.1.gz"
                   DEPENDS "${CMAKE_BINARY_DIR}/packaging/versalo-cli.1"
                   COMMENT "Compressing the manual page of versalo-cli")
add_custom_target(versalo_man_page ALL DEPENDS "${CMAKE_BINARY_DIR}/packaging/versalo-cli.1.gz")
install(FILES "${CMAKE_BINARY_DIR}/packaging/versalo-cli.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# The Debian package. Its files go under /usr whatever prefix the build was configured for; the
# help button also looks in bin/../share/versalo, so it finds the page there.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "versalo")
set(CPACK_PACKAGE_VENDOR "Versalo")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Versalo maintainers <${VERSALO_SUPPORT_MAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Schreibweise von Datei- und Ordnernamen per Drag&Drop ändern")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Versalo ändert die Groß- und Kleinschreibung von Datei- und Ordnernamen: Dateien und Ordner aus dem\n"
    "Dateimanager auf das Fenster ziehen, und ihre Namen werden GROSS, klein oder mit großem\n"
    "Anfangsbuchstaben geschrieben, Ordner samt ihrem ganzen Inhalt. Mit dem Befehl versalo-cli für\n"
    "Skripte und das Terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${VERSALO_WEB_HOST}/")
# dpkg-shlibdeps works out the libraries the two programs need (Qt, ICU, the C++ runtime).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help page and the info dialog's links open with the desktop's standard opener.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# Qt loads its platform plugin and the JPEG reader for the info picture at run time, so
# dpkg-shlibdeps cannot see them.
if(TARGET versalo)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
include(CPack)
