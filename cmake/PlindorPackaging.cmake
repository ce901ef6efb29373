# Installation and the Debian package. Included last, so that every program target exists.
include(GNUInstallDirs)

if(TARGET plindor)
  install(TARGETS plindor RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()

if(UNIX AND NOT APPLE)
  set(packaging "${PROJECT_SOURCE_DIR}/packaging")
  install(FILES "${packaging}/linux/plindor.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  foreach(size 16 32 48 64 128 256)
    install(FILES "${packaging}/icons/hicolor/${size}x${size}/apps/plindor.png"
      DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()
  install(FILES "${packaging}/icons/plindor.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
endif()

set(CPACK_PACKAGE_NAME plindor)
set(CPACK_PACKAGE_VENDOR "${PLINDOR_COMPANY_NAME}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PLINDOR_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLINDOR_COMPANY_NAME}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The Qt libraries the program links come in as dependencies, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
include(CPack)
