# Installation the way Debian's chess engines install themselves, and the Debian package built from it.
#   <prefix>/games/kelb701                              the engine
#   <prefix>/share/games/kelb701/kelb701.{ini,bok}      default configuration and opening book
#   <prefix>/share/games/plugins/xboard/kelb701.eng     xboard lists the engine from this file
#   <prefix>/share/games/plugins/logos/kelb701.png      its logo in xboard
#   <prefix>/share/man/man6/kelb701.6.gz                manual page
#   <prefix>/share/doc/kelb701/README.md                user documentation
# The engine finds the default ini and book only when built with KELB_DATA_DIR naming the installed data
# folder: `make install` and `make package` set it from the prefix; a developer build leaves it empty.

set(KELB_DATA_DIR "" CACHE STRING
    "Folder an installed engine reads kelb701.ini and kelb701.bok from when the working directory has none (empty: no fallback)")
target_compile_definitions(kelb701 PRIVATE KELB_DATA_DIR="${KELB_DATA_DIR}")

set(KELB_INSTALLED_DATA_DIR "${CMAKE_INSTALL_PREFIX}/share/games/kelb701")
if(KELB_DATA_DIR AND NOT KELB_DATA_DIR STREQUAL KELB_INSTALLED_DATA_DIR)
  message(WARNING "KELB_DATA_DIR is ${KELB_DATA_DIR}, but the data files install to ${KELB_INSTALLED_DATA_DIR}")
endif()

# The manual page is installed compressed, as Debian's policy wants it (-n: no time stamp in the archive).
find_program(KELB_GZIP gzip REQUIRED)
set(KELB_MANPAGE_GZ "${CMAKE_BINARY_DIR}/kelb701.6.gz")
add_custom_command(OUTPUT "${KELB_MANPAGE_GZ}"
  COMMAND ${CMAKE_COMMAND} -E copy "${CMAKE_SOURCE_DIR}/dist/kelb701.6" "${CMAKE_BINARY_DIR}/kelb701.6"
  COMMAND "${KELB_GZIP}" -9nf "${CMAKE_BINARY_DIR}/kelb701.6"
  DEPENDS "${CMAKE_SOURCE_DIR}/dist/kelb701.6"
  COMMENT "Compressing the manual page")
add_custom_target(kelb701-manpage ALL DEPENDS "${KELB_MANPAGE_GZ}")

# The plugin file's command: the bare name where Debian's PATH finds it (/usr/games), the full path elsewhere.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(KELB_PLUGIN_COMMAND "kelb701")
else()
  set(KELB_PLUGIN_COMMAND "${CMAKE_INSTALL_PREFIX}/games/kelb701")
endif()
file(WRITE "${CMAKE_BINARY_DIR}/kelb701.eng" "plugin spec 0.0\n${KELB_PLUGIN_COMMAND}\nchess\n")

install(TARGETS kelb701 RUNTIME DESTINATION games)
install(FILES data/kelb701.ini data/kelb701.bok DESTINATION share/games/kelb701)
install(FILES "${CMAKE_BINARY_DIR}/kelb701.eng" DESTINATION share/games/plugins/xboard)
install(FILES dist/kelb701.png DESTINATION share/games/plugins/logos)
install(FILES "${KELB_MANPAGE_GZ}" DESTINATION share/man/man6)
install(FILES README.md DESTINATION share/doc/kelb701)
if(NOT KELB_DATA_DIR)
  install(CODE "message(WARNING \"This engine was built without KELB_DATA_DIR: started outside a folder holding kelb701.ini and kelb701.bok it runs without a hash table and without its book. Use make install or make package.\")")
endif()

# Debian package: `make package` (cpack -G DEB) gives kelb701_7.01_<arch>.deb with everything under /usr.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kelb701")
set(CPACK_PACKAGE_VERSION "7.01")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(KELB_MAINTAINER "Kelb 7.01 packagers <kelb701@localhost>" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "chess engine for xboard and UCI chess programs")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Kelb 7.01 is a chess engine: a program without a board of its own that plays
and analyses standard chess inside a chess GUI. It speaks the xboard
(WinBoard protocol 2) and UCI protocols, so it works with xboard, with UCI
interfaces and tournament managers, and with polyglot.
.
Once installed it appears in xboard's engine list without any set-up. It comes
with a default configuration (64 MB hash table) and its own opening book, which
it uses from any folder; a kelb701.ini in the folder it is started in takes
precedence. It learns from positions it misjudged in earlier games, and it can
play at 50 weaker levels (under UCI an Elo setting from 700 to 2000).")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xboard | scid | pychess, polyglot")
set(CPACK_DEBIAN_PACKAGE_PROVIDES "chess-engine")
# The dependencies are read off the binary (libc, libstdc++, libgcc); without dpkg-shlibdeps, the runtime of
# the Debian release the package is built on, with the versions a C++20 program built there needs.
find_program(KELB_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KELB_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.4), libstdc++6 (>= 12)")
endif()
include(CPack)
