# A Debian package of the program (cpack -G DEB, see scripts/package.sh): the executable with
# "kestrune" on the PATH, the desktop entry and the icon. The libraries it links come from
# dpkg-shlibdeps; the QML modules and the SVG image plug-in are loaded at run time, so they
# are named here.
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "Kestrune")
set(CPACK_PACKAGE_CONTACT "Kestrune <kestrune@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer for tagged text log files")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kestrune)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qml6-module-qtqml, qml6-module-qtqml-models, \
qml6-module-qtqml-workerscript, qml6-module-qtquick, qml6-module-qtquick-controls, \
qml6-module-qtquick-templates, qml6-module-qtquick-layouts, qml6-module-qtquick-window, \
qml6-module-qtquick-dialogs, qml6-module-qt-labs-folderlistmodel")
include(CPack)
