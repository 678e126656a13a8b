# Installation and the Debian package: the two programs, the help page, the menu entry with its
# icons, the software-centre entry, the manual pages, and the copyright and changelog of the package.
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

# The date of this release: the manual pages, the software-centre entry and the copyright year
# take it from here. The Debian changelog (packaging/changelog) names it too.
set(VERSALO_RELEASE_DATE "2026-12-06")
string(SUBSTRING "${VERSALO_RELEASE_DATE}" 0 4 VERSALO_COPYRIGHT_YEAR)
set(VERSALO_MAN_DATE "${VERSALO_RELEASE_DATE}")
# The Debian revision of the package: 1 for the first package of each version.
set(VERSALO_DEBIAN_REVISION 1)
set(VERSALO_PACKAGE_VERSION "${PROJECT_VERSION}-${VERSALO_DEBIAN_REVISION}")

# Files are kept compressed where Debian wants them so; man reads them either way.
find_program(VERSALO_GZIP gzip REQUIRED)
function(versalo_gzip input output)
    add_custom_command(OUTPUT "${output}"
                       COMMAND "${VERSALO_GZIP}" -9 -n -c "${input}" > "${output}"
                       DEPENDS "${input}"
                       COMMENT "Compressing ${input}")
endfunction()

set(VERSALO_PACKAGING_OUT "${CMAKE_BINARY_DIR}/packaging")
set(versalo_packaging_files "")

if(VERSALO_BUILD_GUI)
    install(FILES "${VERSALO_PACKAGING_DIR}/versalo.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    # The icon drawn for menus, docks and software centres, from 48 pixels up and as SVG; below
    # that the window's own 16 and 32 pixel icon.
    install(DIRECTORY "${VERSALO_PACKAGING_DIR}/icons/hicolor" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons")
    foreach(size 16 32)
        set(icon "${PROJECT_SOURCE_DIR}/ui/main_window/resources/icon-${size}.png")
        if(EXISTS "${icon}")
            install(FILES "${icon}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
                    RENAME versalo.png)
        else()
            message(WARNING "Window icon ${icon} is missing; it will not be installed")
        endif()
    endforeach()

    # The software-centre entry. Its id is the web host turned round, as AppStream asks.
    string(REGEX REPLACE "^www\\." "" versalo_host "${VERSALO_WEB_HOST}")
    string(REPLACE "." ";" versalo_host_parts "${versalo_host}")
    list(REVERSE versalo_host_parts)
    list(JOIN versalo_host_parts "." VERSALO_APPSTREAM_ID)
    string(APPEND VERSALO_APPSTREAM_ID ".Versalo")
    configure_file("${VERSALO_PACKAGING_DIR}/versalo.metainfo.xml.in"
                   "${VERSALO_PACKAGING_OUT}/${VERSALO_APPSTREAM_ID}.metainfo.xml" @ONLY)
    install(FILES "${VERSALO_PACKAGING_OUT}/${VERSALO_APPSTREAM_ID}.metainfo.xml"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")

    # The right-click menus of Dolphin, Nautilus, Nemo, Thunar, PCManFM-Qt and Caja.
    include("${VERSALO_PACKAGING_DIR}/menus/menus.cmake")
    versalo_menus("${VERSALO_PACKAGING_OUT}/menus")
endif()

# The manual pages are German, as the programs are. They go under de/ and, since the programs
# speak no other language, also where man looks in every other language.
set(versalo_man_pages versalo-cli)
if(VERSALO_BUILD_GUI)
    list(APPEND versalo_man_pages versalo)
endif()
foreach(page ${versalo_man_pages})
    configure_file("${VERSALO_PACKAGING_DIR}/${page}.1" "${VERSALO_PACKAGING_OUT}/${page}.1" @ONLY)
    versalo_gzip("${VERSALO_PACKAGING_OUT}/${page}.1" "${VERSALO_PACKAGING_OUT}/${page}.1.gz")
    list(APPEND versalo_packaging_files "${VERSALO_PACKAGING_OUT}/${page}.1.gz")
    install(FILES "${VERSALO_PACKAGING_OUT}/${page}.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/de/man1")
    install(FILES "${VERSALO_PACKAGING_OUT}/${page}.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endforeach()

# The copyright file states the licence the info dialog states; the changelog is Debian's.
set(versalo_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/versalo")
configure_file("${VERSALO_PACKAGING_DIR}/copyright" "${VERSALO_PACKAGING_OUT}/copyright" @ONLY)
configure_file("${VERSALO_PACKAGING_DIR}/changelog" "${VERSALO_PACKAGING_OUT}/changelog.Debian" @ONLY)
versalo_gzip("${VERSALO_PACKAGING_OUT}/changelog.Debian" "${VERSALO_PACKAGING_OUT}/changelog.Debian.gz")
list(APPEND versalo_packaging_files "${VERSALO_PACKAGING_OUT}/changelog.Debian.gz")
install(FILES "${VERSALO_PACKAGING_OUT}/copyright" "${VERSALO_PACKAGING_OUT}/changelog.Debian.gz"
        DESTINATION "${versalo_doc_dir}")
install(FILES "${VERSALO_PACKAGING_DIR}/lintian-overrides" DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides"
        RENAME versalo)
add_custom_target(versalo_packaging_files ALL DEPENDS ${versalo_packaging_files})

# The Debian package. Its files go under /usr whatever prefix the build was configured for; the
# help button also looks in bin/../share/versalo, so it finds the page there.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "versalo")
set(CPACK_PACKAGE_VENDOR "Versalo")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEBIAN_PACKAGE_RELEASE "${VERSALO_DEBIAN_REVISION}")
set(CPACK_PACKAGE_CONTACT "Quistel's Kistwerk <${VERSALO_SUPPORT_MAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Schreibweise von Datei- und Ordnernamen per Drag&Drop ändern")
# Debian wants the lines of the long description shorter than 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Versalo ändert die Groß- und Kleinschreibung von Datei- und Ordnernamen:\n"
    "Dateien und Ordner aus dem Dateimanager auf das Fenster ziehen, und ihre\n"
    "Namen werden GROSS, klein oder mit großem Anfangsbuchstaben geschrieben,\n"
    "Ordner samt ihrem ganzen Inhalt. Mit dem Befehl versalo-cli für Skripte\n"
    "und das Terminal.")
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
# The Nautilus menu is one small Python file that only nautilus-python reads; it stays in this
# package rather than a package of its own, and GNOME users are pointed to nautilus-python.
if(TARGET versalo)
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-nautilus")
endif()
# Qt loads its platform plugin and the JPEG reader for the info picture at run time, so
# dpkg-shlibdeps cannot see them. The window's layout is measured for Arial; without
# Liberation Sans, its metric twin, fontconfig picks a wider font and captions are clipped.
if(TARGET versalo)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
endif()
include(CPack)
