# The Debian package: CPack's DEB generator lays out the same install rules as `cmake --install`,
# under /usr. Built from the desktop preset: `cmake --build --preset package`.
include(GNUInstallDirs)

set(ORVEL_DEB_MAINTAINER "The orvel developers <orvel@orvel.example.org>")

# Depends: what the binaries link is found by dpkg-shlibdeps. What they load at run time (dlopen,
# Qt plugins) it cannot see, so it is named here; add such packages to this list.
set(ORVEL_DEB_RUNTIME_DEPENDS
    libmediainfo0v5 # the MediaInfo library, opened when files are read
    libqt6sql6-sqlite # the SQLite driver of the properties cache, a Qt plugin
)

# Recommends: the packages whose programs the shipped coders and decoders run, as their scripts
# name them when the program is missing. The package installs without them; a coder whose
# program is missing still shows and says what to install.
file(GLOB_RECURSE ORVEL_CODEC_FILES "${PROJECT_SOURCE_DIR}/data/Coders/*"
    "${PROJECT_SOURCE_DIR}/data/Decoders/*" "${PROJECT_SOURCE_DIR}/data/Tools/*")
set(ORVEL_DEB_RECOMMENDS)
foreach(file IN LISTS ORVEL_CODEC_FILES)
    file(STRINGS "${file}" lines REGEX "Install the Debian package [a-z0-9.+-]+")
    foreach(line IN LISTS lines)
        string(REGEX MATCH "Install the Debian package ([a-z0-9.+-]+)" found "${line}")
        list(APPEND ORVEL_DEB_RECOMMENDS "${CMAKE_MATCH_1}")
    endforeach()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
endforeach()
list(REMOVE_DUPLICATES ORVEL_DEB_RECOMMENDS)
list(SORT ORVEL_DEB_RECOMMENDS)

# The changelog's date (RFC 2822, with its day of the week) from the release date.
function(orvel_rfc2822_date iso out)
    string(REGEX MATCH "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$" valid "${iso}")
    if(NOT valid)
        message(FATAL_ERROR "ORVEL_RELEASE_DATE is not YYYY-MM-DD: ${iso}")
    endif()
    set(year "${CMAKE_MATCH_1}")
    set(monthText "${CMAKE_MATCH_2}")
    set(dayText "${CMAKE_MATCH_3}")
    string(REGEX REPLACE "^0" "" month "${monthText}")
    string(REGEX REPLACE "^0" "" day "${dayText}")
    # Sakamoto's day-of-week method; 0 is Sunday.
    set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
    math(EXPR index "${month} - 1")
    list(GET offsets ${index} offset)
    set(y "${year}")
    if(month LESS 3)
        math(EXPR y "${y} - 1")
    endif()
    math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day}) % 7")
    set(days Sun Mon Tue Wed Thu Fri Sat)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(GET days ${weekday} dayName)
    list(GET months ${index} monthName)
    set(${out} "${dayName}, ${dayText} ${monthName} ${year} 12:00:00 +0000" PARENT_SCOPE)
endfunction()
orvel_rfc2822_date("${ORVEL_RELEASE_DATE}" ORVEL_RELEASE_DATE_RFC2822)

# Files only the package carries (a user's ~/.local has no use for them): the copyright, the
# changelog (gzip -9n, as Debian ships it) and lintian's overrides, each with its reason.
set(ORVEL_DEB_DIR "${CMAKE_BINARY_DIR}/deb")
configure_file("${PROJECT_SOURCE_DIR}/packaging/changelog.in" "${ORVEL_DEB_DIR}/changelog" @ONLY)
add_custom_command(
    OUTPUT "${ORVEL_DEB_DIR}/changelog.gz"
    COMMAND gzip -9nkf "${ORVEL_DEB_DIR}/changelog"
    DEPENDS "${ORVEL_DEB_DIR}/changelog"
    VERBATIM)
add_custom_target(orvel_deb_changelog ALL DEPENDS "${ORVEL_DEB_DIR}/changelog.gz")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" "${ORVEL_DEB_DIR}/changelog.gz"
    DESTINATION "${CMAKE_INSTALL_DOCDIR}" COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/lintian-overrides"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME orvel
    COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvel)
set(CPACK_PACKAGE_VENDOR "The orvel developers")
set(CPACK_PACKAGE_CONTACT "${ORVEL_DEB_MAINTAINER}")
# Installed with DESTDIR, so rules that write the prefix into files (the desktop entry's
# launcher) write /usr and not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};orvel;ALL;/" "${CMAKE_BINARY_DIR};orvel;deb;/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orvel.example.org/orvel.shtml")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
list(JOIN ORVEL_DEB_RUNTIME_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
list(JOIN ORVEL_DEB_RECOMMENDS ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "batch audio converter using the system's encoders
orvel converts many audio files at once: gather files into a list, pick an
encoder and one of its presets, and convert them all, several at a time.
.
It has no codec of its own: every decode and encode is one run of an ordinary
command-line program (flac, lame, oggenc, opusenc, wavpack, ffmpeg), started
from small description files that users can add to. orvel-batch converts the
same way from scripts and on servers without a display.")
include(CPack)
