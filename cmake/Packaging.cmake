# The documents a Debian package carries, and the package itself:
#
#   cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DVADREL_TESTS=OFF
#   cmake --build build-deb && (cd build-deb && cpack -G DEB)
#
# gives vadrel_VERSION_ARCH.deb; scripts/check-package.sh builds and checks it.

# The changelog's latest entry names the version being packaged; project()
# sets it, the changelog only records it.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog vadrel_changelog_top LIMIT_COUNT 1)
if(NOT vadrel_changelog_top MATCHES "^vadrel \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog starts with \"${vadrel_changelog_top}\": "
                        "add an entry for version ${PROJECT_VERSION} at its top.")
endif()
# The maintainer the changelog and the copyright file name is the one
# project() comes with.
set(vadrel_maintainer "${VADREL_MAINTAINER_NAME} <${VADREL_MAINTAINER_EMAIL}>")
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog vadrel_changelog_trailer REGEX "^ -- ")
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/copyright vadrel_copyright_contact REGEX "^Upstream-Contact: ")
foreach(line IN ITEMS "${vadrel_changelog_trailer}" "${vadrel_copyright_contact}")
    string(FIND "${line}" "${vadrel_maintainer}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "packaging/: \"${line}\" does not name ${vadrel_maintainer}, as CMakeLists.txt does.")
    endif()
endforeach()
add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -DGZIP=${GZIP} -DIN=${PROJECT_SOURCE_DIR}/packaging/changelog
            -DOUT=${PROJECT_BINARY_DIR}/changelog.gz -P ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(vadrel_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME vadrel)
set(CPACK_PACKAGE_VENDOR ${VADREL_VENDOR})
set(CPACK_PACKAGE_CONTACT ${vadrel_maintainer})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulatore GPS che invia frasi NMEA 0183")
set(CPACK_GENERATOR DEB)
# The package installs where the build was configured to (/usr for Debian),
# so that the service's ExecStart and the install tree agree; DESTDIR keeps
# the unit's absolute folder inside the package.
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(VADREL_HOMEPAGE_URL)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VADREL_HOMEPAGE_URL})
endif()
# Dependencies from what the binaries link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own Italian for the dialogs Qt draws (choosing where to save the map).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
# The control interface's Python client (vadrel_client) runs under it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS python3)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The service is told of a new program and stopped before removal.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/prerm
    ${PROJECT_SOURCE_DIR}/packaging/postrm)
# The long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Simula fino a 21 veicoli in movimento: posizione, rotta e velocità si
impostano su un unico pannello e, una volta al secondo, vadrel fa avanzare
il veicolo attuale e invia la sua frase $GPRMC su una porta seriale o su
una porta virtuale (pseudo-terminale), per un programma di navigazione o
di localizzazione dall'altra parte.

Offre il modo GPS standard, il modo per radio modem e il modo multiutente;
funziona con la sua finestra o senza, anche come servizio systemd per gpsd.")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
