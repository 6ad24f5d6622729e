# Installation the way Debian's chess engines install themselves (`make install`, and the Debian package that
# debian/rules builds through the same install step).
#   <prefix>/games/kelb701                              the engine
#   <prefix>/share/games/kelb701/kelb701.{ini,bok}      default configuration and opening book
#   <prefix>/share/games/plugins/xboard/kelb701.eng     xboard lists the engine from this file
#   <prefix>/share/games/plugins/logos/kelb701.png      its logo in xboard
#   <prefix>/share/man/man6/kelb701.6.gz                manual page
#   <prefix>/share/doc/kelb701/README.md                user documentation
# The engine finds the default ini and book only when built with KELB_DATA_DIR naming the installed data
# folder: `make dist-build` sets it from the prefix, debian/rules to /usr/share/games/kelb701; a developer
# build leaves it empty.

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
  install(CODE "message(WARNING \"This engine was built without KELB_DATA_DIR: started outside a folder holding kelb701.ini and kelb701.bok it runs without a hash table and without its book. Use make dist-build and make install, or make package.\")")
endif()
