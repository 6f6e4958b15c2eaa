# Tarvenix 7.00 help file (Tarvenix7.chm).
#
# Use from the top-level CMakeLists.txt:
#
#   set(TARVENIX_HELP_OUTPUT_DIR ${CMAKE_BINARY_DIR}/bin)   # optional
#   include(help/help.cmake)
#
# This defines the target `tarvenix_help`, which compiles the help with
# help/build_help.sh (chmcmd from the Debian package fp-utils) into
# ${TARVENIX_HELP_OUTPUT_DIR}/Tarvenix7.chm, the folder of the executable,
# where the program looks for its help. The chm is rebuilt only when a help
# source (a page, the style sheet, the project, contents or index file, or
# the script) changes.
#
# Variables read (set them before the include):
#   TARVENIX_HELP_OUTPUT_DIR  folder of the executable, a plain path (it names
#                             a custom-command output, so target generator
#                             expressions such as $<TARGET_FILE_DIR:...> are
#                             not allowed; $<CONFIG> is). Default:
#                             CMAKE_RUNTIME_OUTPUT_DIRECTORY when set, else
#                             CMAKE_BINARY_DIR.
#   TARVENIX_HELP_REQUIRED    ON: stop at configure time when chmcmd is
#                             missing. OFF (default): warn, and leave
#                             tarvenix_help out of the default build; building
#                             it by name then fails with the script's message.
#   TARVENIX_HELP_INSTALL_DIR when set, `install` copies Tarvenix7.chm there
#                             (put it where the executable is installed).
#   TARVENIX_HELP_SYSTEM      the program the help describes: windows for a
#                             Windows build, else linux (build_help.sh leaves
#                             out what belongs to the other one).

set(TARVENIX_HELP_SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}")
if(NOT DEFINED TARVENIX_HELP_SYSTEM)
  if(WIN32)
    set(TARVENIX_HELP_SYSTEM windows)
  else()
    set(TARVENIX_HELP_SYSTEM linux)
  endif()
endif()

option(TARVENIX_HELP_REQUIRED "Fail at configure time when chmcmd is missing" OFF)

if(NOT DEFINED TARVENIX_HELP_OUTPUT_DIR OR TARVENIX_HELP_OUTPUT_DIR STREQUAL "")
  if(CMAKE_RUNTIME_OUTPUT_DIRECTORY)
    set(TARVENIX_HELP_OUTPUT_DIR "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  else()
    set(TARVENIX_HELP_OUTPUT_DIR "${CMAKE_BINARY_DIR}")
  endif()
endif()

if(TARVENIX_HELP_OUTPUT_DIR MATCHES "\\$<TARGET")
  message(FATAL_ERROR
    "TARVENIX_HELP_OUTPUT_DIR must be a plain folder path, not a target "
    "generator expression (${TARVENIX_HELP_OUTPUT_DIR}); for example set the "
    "executable's RUNTIME_OUTPUT_DIRECTORY and pass the same folder here.")
endif()

find_program(TARVENIX_CHMCMD chmcmd DOC "Free Pascal CHM compiler (Debian package fp-utils)")
find_program(TARVENIX_HELP_SH sh)
if(NOT TARVENIX_HELP_SH)
  set(TARVENIX_HELP_SH sh)
endif()

set(_tarvenix_help_in_all ALL)
if(NOT TARVENIX_CHMCMD)
  if(TARVENIX_HELP_REQUIRED)
    message(FATAL_ERROR
      "chmcmd not found: it is needed to build the help file Tarvenix7.chm. "
      "Install it with 'apt-get install fp-utils', or set TARVENIX_CHMCMD.")
  endif()
  message(WARNING
    "chmcmd not found: the help file Tarvenix7.chm will not be built "
    "(install the Debian package fp-utils). The target tarvenix_help is left "
    "out of the default build.")
  set(_tarvenix_help_in_all "")
  set(_tarvenix_help_chmcmd chmcmd)
else()
  set(_tarvenix_help_chmcmd "${TARVENIX_CHMCMD}")
endif()

# Every help source; CONFIGURE_DEPENDS re-globs when pages are added or removed.
file(GLOB _tarvenix_help_pages CONFIGURE_DEPENDS
  "${TARVENIX_HELP_SOURCE_DIR}/html/*.html"
  "${TARVENIX_HELP_SOURCE_DIR}/html/*.css")
set(_tarvenix_help_sources
  ${_tarvenix_help_pages}
  "${TARVENIX_HELP_SOURCE_DIR}/Tarvenix7.hhp"
  "${TARVENIX_HELP_SOURCE_DIR}/Tarvenix7.hhc"
  "${TARVENIX_HELP_SOURCE_DIR}/Tarvenix7.hhk"
  "${TARVENIX_HELP_SOURCE_DIR}/build_help.sh")

set(_tarvenix_help_chm "${TARVENIX_HELP_OUTPUT_DIR}/Tarvenix7.chm")

add_custom_command(
  OUTPUT "${_tarvenix_help_chm}"
  COMMAND ${CMAKE_COMMAND} -E env "CHMCMD=${_tarvenix_help_chmcmd}"
          "${TARVENIX_HELP_SH}" "${TARVENIX_HELP_SOURCE_DIR}/build_help.sh"
          "${TARVENIX_HELP_OUTPUT_DIR}" "${TARVENIX_HELP_SYSTEM}"
  DEPENDS ${_tarvenix_help_sources}
  COMMENT "Compiling help file Tarvenix7.chm"
  VERBATIM)

add_custom_target(tarvenix_help ${_tarvenix_help_in_all}
  DEPENDS "${_tarvenix_help_chm}"
  SOURCES ${_tarvenix_help_sources})

if(DEFINED TARVENIX_HELP_INSTALL_DIR AND NOT TARVENIX_HELP_INSTALL_DIR STREQUAL "")
  install(FILES "${_tarvenix_help_chm}" DESTINATION "${TARVENIX_HELP_INSTALL_DIR}" OPTIONAL)
endif()

unset(_tarvenix_help_in_all)
unset(_tarvenix_help_chmcmd)
unset(_tarvenix_help_pages)
