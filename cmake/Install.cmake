# Installs Keyfolio as a desktop program:
#   bin/keyfolio, bin/keyfolio-tool
#   share/keyfolio/help/        the help page and its pictures
#   share/keyfolio/locale/      the translation catalogues (<lang>/LC_MESSAGES/default.mo)
#   share/applications/         the desktop entry
#   share/icons/hicolor/        the program's icon
#   share/metainfo/             the AppStream description
# The program looks for its help page and catalogues beside itself first (the
# build tree), then in ../share/keyfolio (common/ProgramFiles.h).
#   cmake --install build --prefix /usr/local
#   cd build && cpack            (a .deb of the same files)

set(KF_APP_ID org.keyfolio.Keyfolio)
set(KF_DATA_DIR ${CMAKE_INSTALL_DATADIR}/keyfolio)

install(TARGETS keyfolio keyfolio-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/help/index.html DESTINATION ${KF_DATA_DIR}/help)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/images DESTINATION ${KF_DATA_DIR}/help)
# The catalogue folder: translators' catalogues go here (none ship yet).
install(DIRECTORY DESTINATION ${KF_DATA_DIR}/locale)

install(FILES ${CMAKE_SOURCE_DIR}/data/${KF_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 64)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/${size}x${size}/keyfolio.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
# The release date is the day of the configuration (SOURCE_DATE_EPOCH when set,
# for a reproducible package).
string(TIMESTAMP KF_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${CMAKE_SOURCE_DIR}/data/${KF_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/data/${KF_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/${KF_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# A Debian package of the same files: cpack (in the build folder).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keyfolio)
set(CPACK_PACKAGE_VENDOR "Keyfolio developers")
set(CPACK_PACKAGE_CONTACT "Keyfolio developers <keyfolio@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Defines on-screen keyboards and makes word lists and typing courses")
set(CPACK_PACKAGE_DESCRIPTION
  "Keyfolio prepares national-language material for the Tarvo typing tutor: it defines\n"
  "on-screen keyboards and saves them as keyboard packages, and makes dictionaries and\n"
  "typing courses from text files. keyfolio-tool does the same on the command line.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY keyfolio)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
# The libraries come from the programs themselves (dpkg-shlibdeps); the rest
# is what they need at run time besides: Qt's platform plugins, the system's
# keyboard layouts and compose tables (layout import), a browser opener (Help).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, xkb-data, libx11-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
