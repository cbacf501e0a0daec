# Installation under /usr and the Debian package: `cpack -G DEB` in build/
# makes vidralo_<version>_amd64.deb with the program, the simulated platform,
# the desktop entry and the icon in their freedesktop places, and the systemd
# user unit template for headless instances. The program's modules (window,
# status page, demo platform) go to LIBDIR/vidralo, installed by src/app where
# they are built; the program finds them from its own path. Library dependencies (the
# prometheus-cpp and SQLite libraries among them) are read from the binaries
# (dpkg-shlibdeps).
include(GNUInstallDirs)

install(TARGETS vidralo vidralo-platform-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vidralo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vidralo-headless@.service
        DESTINATION lib/systemd/user)
install(FILES ${PROJECT_SOURCE_DIR}/src/app/vidralo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vidralo)
set(CPACK_PACKAGE_VENDOR Vidralo)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Publishes videos in bulk through a video platform's upload web page")
set(CPACK_PACKAGE_CONTACT "Vidralo <dev@vidralo.local>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The browser it drives (any of the Chromium family will do), SQLite for the
# history, Qt's own buttons and dialogs in Chinese, and libcurl, which the
# program opens with dlopen at its first request, where dpkg-shlibdeps cannot
# see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "chromium | google-chrome-stable | microsoft-edge-stable, libsqlite3-0, qt6-translations-l10n, libcurl4 (>= 7.85.0)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
include(CPack)
