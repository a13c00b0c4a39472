# The Debian package: cpack -G DEB in the build folder (or cpack --config
# BUILD/CPackConfig.cmake). Everything the install rules put under the prefix
# goes into one package "kinemo", installed below /usr; its Depends line is
# computed from the shared libraries the programs use (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kinemo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kinemo-Team <kinemo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bewegungsfolgen und Fernsteuerung für Baukasten-Interfaces")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Bewegungsfolgen und Fernsteuerung für Baukasten-Interfaces\n"
    "Kinemo steuert ein Baukasten-Interface mit den Motoren M1 bis M4 (M5 bis M8\n"
    "am Erweiterungsmodul) und den Eingängen E1 bis E16 an einer seriellen\n"
    "Schnittstelle und gibt den Motoren Geschwindigkeiten durch Pulsweiten in\n"
    "Software. Enthalten sind der Bewegungs-Sequenzer kinemo, die Steuerungen\n"
    "über Joystick und Tastatur oder Sprache, die Treiberbibliothek, das\n"
    "simulierte Interface kinemo-sim und die Programme für die Kommandozeile.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
