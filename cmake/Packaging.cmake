# Packages: a .deb of the Linux desktop program, a zip of the Windows program.
#   cpack --config build/CPackConfig.cmake          (in the Linux build)
#   cpack --config build-win/CPackConfig.cmake      (in the Windows build)

set(CPACK_PACKAGE_NAME vmkt)
set(CPACK_PACKAGE_VENDOR "Vemko")
set(CPACK_PACKAGE_CONTACT "Vemko <feedback@vemko.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "small alarm clock on a strip at the top of the screen (Vemko闹钟)")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS vmkt RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "vmkt-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  include(GNUInstallDirs)
  install(FILES packaging/vmkt.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The libraries come from dpkg-shlibdeps; Qt loads its X11 platform plugin
  # at run time, which no library dependency names.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
      "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk, pulseaudio | pipewire-pulse")
  # The summary is the first line of the description; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "One strip, 333 by 22 pixels, always on top at the top edge of the screen,
and an icon in the notification area. Count down a duration, ring at a
clock time, or ring at a minute of every hour; loop one of three built-in
sounds, power off, suspend or switch the display off when the time comes.")
endif()

include(CPack)
