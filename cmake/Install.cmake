# cmake --install and the Debian package (cpack), from the same rules: the
# game's folder (the executable next to data/) under LIBDIR/quorvel, the
# quorvel command on the path as a link to it, the score server and its
# systemd unit, the desktop entry, icons, AppStream metadata and manual pages.
include(GNUInstallDirs)

set(QUORVEL_INSTALL_COMMANDDIR games CACHE STRING "Where the quorvel command goes, relative to the prefix")
set(QUORVEL_APP_ID org.quorvel.Quorvel)
set(game_folder ${CMAKE_INSTALL_LIBDIR}/quorvel)
set(dist ${CMAKE_SOURCE_DIR}/dist)
set(dist_out ${CMAKE_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${dist_out})

install(TARGETS quorvel DESTINATION ${game_folder})
install(DIRECTORY ${QUORVEL_DATA_DIR}/ DESTINATION ${game_folder}/data FILES_MATCHING PATTERN "*.rkp")
# The game finds its folder through /proc/self/exe, so a relative link will do.
file(RELATIVE_PATH command_target /prefix/${QUORVEL_INSTALL_COMMANDDIR} /prefix/${game_folder}/quorvel)
file(CREATE_LINK ${command_target} ${dist_out}/quorvel SYMBOLIC)
install(FILES ${dist_out}/quorvel DESTINATION ${QUORVEL_INSTALL_COMMANDDIR})

install(TARGETS quorvel-scores DESTINATION ${CMAKE_INSTALL_SBINDIR})
# The unit names the server by its installed path, known only at install time
# (cpack installs under another prefix than the build's).
install(CODE "
  file(READ [[${dist}/quorvel-scores.service.in]] unit)
  set(QUORVEL_SCORES \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_SBINDIR}/quorvel-scores\")
  string(CONFIGURE \"\${unit}\" unit @ONLY)
  file(WRITE [[${dist_out}/quorvel-scores.service]] \"\${unit}\")")
install(FILES ${dist_out}/quorvel-scores.service DESTINATION lib/systemd/system)

install(FILES ${dist}/${QUORVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dist}/${QUORVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS QUORVEL_ICON_SIZES)
  install(FILES ${QUORVEL_ART_PICTURES}/icon${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${QUORVEL_APP_ID}.png)
endforeach()

set(manuals)
foreach(page quorvel.6 quorvel-scores.8)
  add_custom_command(OUTPUT ${dist_out}/${page}.gz
    COMMAND gzip -9n -c ${dist}/${page} > ${dist_out}/${page}.gz
    DEPENDS ${dist}/${page})
  list(APPEND manuals ${dist_out}/${page}.gz)
  string(REGEX REPLACE ".*\\." "man" section ${page})
  install(FILES ${dist_out}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/${section})
endforeach()
add_custom_target(manuals ALL DEPENDS ${manuals})
install(FILES README.md CREDITS.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_CONTACT "The Quorvel developers <dev@quorvel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "winter economy game: run the elves' toy industry")
set(CPACK_PACKAGE_DESCRIPTION "You run a toy industry of elves on a snowy map against a 24-minute clock: \
buy buildings, hire workers, geologists and carriers, and turn wood, steel and plastic into money. \
Includes quorvel-scores, the score server, with a systemd unit that is installed but not enabled.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorvel.org/)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
