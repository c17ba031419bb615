# Debian package of the program, its tools, help and desktop integration:
#   cpack -G DEB -B <folder>      (run in a finished build folder)
# The package is made from the build as it stands; nothing is rebuilt in
# another configuration.

set(CPACK_PACKAGE_NAME sovikan)
set(CPACK_PACKAGE_VENDOR "SOVIKAN")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "illuminance and flicker meter program for the SOVIKAN TR07")
set(CPACK_PACKAGE_DESCRIPTION
    "Drives the SOVIKAN TR07 hand-held illuminance meter over its USB serial port:
starts measurements, reads the records kept in the meter, plots illuminance
against time and reports mean, maximum, minimum, the pulsation coefficient and
the pulsation frequency found from the autocorrelation of the signal.
Measurements are kept in svk data files with the user's comments.

The protocol program sovikan-protocol makes the inspector's protocol of a
folder of measurements (illuminance and pulsation coefficient of each point
judged against its norms, flicker metrics, the IEEE 1789 risk class) as PDF
and CSV, prints it, and reads the records kept in the meter into a new folder.

The package also holds svktool, which analyses and exports svk files on the
command line, the meter stand-in sovikan-meter for trying the program without
a meter, and a udev rule that lets the logged-in user open the meter's port.")
set(CPACK_PACKAGE_CONTACT "SOVIKAN developers <developers@sovikan.invalid>")
set(CPACK_PACKAGE_INSTALL_DIRECTORY sovikan)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from dpkg-shlibdeps; the font is not linked but the window's
# fixed layout is measured for Liberation Sans; Qt's Russian texts (the
# buttons of message boxes, the file and print dialogs) are Qt's translation.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${PROJECT_SOURCE_DIR}/docs/linux/debian/postinst;${PROJECT_SOURCE_DIR}/docs/linux/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)

include(CPack)
