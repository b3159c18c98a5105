# Installation and the Debian package: the two programs in bin/, their data
# under share/velka (the programs look there, relative to their own
# prefix, when it is not beside them), the desktop entry, the MIME package,
# the icon in the hicolor theme, man pages made from --help, and the licence.
include(GNUInstallDirs)

install(TARGETS velka velkatool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/runtime/ DESTINATION ${CMAKE_INSTALL_DATADIR}/velka)
install(FILES ${CMAKE_SOURCE_DIR}/data/runtime/velka.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The desktop entry and the MIME package, written by the same code that
# registers them for a user.
add_executable(velka-desktop-files ${CMAKE_SOURCE_DIR}/tools/desktop_files.cpp)
target_compile_options(velka-desktop-files PRIVATE ${VELKA_WARNINGS})
target_link_libraries(velka-desktop-files PRIVATE velka_shell_window velka_shell velka_platform)
set(VELKA_DESKTOP_DIR ${CMAKE_BINARY_DIR}/desktop)
add_custom_command(
  OUTPUT ${VELKA_DESKTOP_DIR}/velka.desktop ${VELKA_DESKTOP_DIR}/velka.xml
  COMMAND velka-desktop-files ${VELKA_DESKTOP_DIR}
  DEPENDS velka-desktop-files
  COMMENT "Writing the desktop entry and the MIME package")
add_custom_target(velka_desktop_files ALL
  DEPENDS ${VELKA_DESKTOP_DIR}/velka.desktop ${VELKA_DESKTOP_DIR}/velka.xml)
install(FILES ${VELKA_DESKTOP_DIR}/velka.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VELKA_DESKTOP_DIR}/velka.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# Man pages from the programs' own --help and --version.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(VELKA_MAN_DIR ${CMAKE_BINARY_DIR}/man)
  foreach(prog velka velkatool)
    if(prog STREQUAL "velka")
      set(desc "GPS navigator for vector maps")
    else()
      set(desc "the Velka navigation engine from the command line")
    endif()
    add_custom_command(
      OUTPUT ${VELKA_MAN_DIR}/${prog}.1
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VELKA_MAN_DIR}
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --no-discard-stderr --name=${desc}
              --include=${CMAKE_SOURCE_DIR}/docs/man/${prog}.h2m
              --output=${VELKA_MAN_DIR}/${prog}.1 $<TARGET_FILE:${prog}>
      DEPENDS ${prog} ${CMAKE_SOURCE_DIR}/docs/man/${prog}.h2m
      COMMENT "Writing the man page of ${prog}")
    # Installed compressed, as man pages are on Debian.
    add_custom_command(
      OUTPUT ${VELKA_MAN_DIR}/${prog}.1.gz
      COMMAND gzip -9 -n -f -k ${VELKA_MAN_DIR}/${prog}.1
      DEPENDS ${VELKA_MAN_DIR}/${prog}.1)
    list(APPEND VELKA_MAN_PAGES ${VELKA_MAN_DIR}/${prog}.1.gz)
  endforeach()
  add_custom_target(velka_man_pages ALL DEPENDS ${VELKA_MAN_PAGES})
  install(FILES ${VELKA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no man pages (scripts/install-deps.sh installs it)")
endif()

install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velka)

# The Debian package (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velka)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velka developers <velka@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GPS navigator for vector maps")
set(CPACK_PACKAGE_DESCRIPTION
    "Velka shows vector maps (its own compact format and Garmin IMG), follows a GPS receiver on a serial port or through gpsd, records tracks, searches, plans routes and guides the driver.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gpsd, libqt6svg6")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(VELKA_BUILD_TESTS AND HELP2MAN)
  find_program(DPKG dpkg)
  if(DPKG)
    add_test(NAME package_install_deb
             COMMAND ${CMAKE_SOURCE_DIR}/tests/package/install_deb_test.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(package_install_deb PROPERTIES LABELS package TIMEOUT 600)
  endif()
endif()
