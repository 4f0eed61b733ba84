include(CMakePackageConfigHelpers)

install(TARGETS vesk vesk_static EXPORT VeskTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/vesk DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT VeskTargets NAMESPACE Vesk:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vesk)

configure_package_config_file(cmake/VeskConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VeskConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vesk)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VeskConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VeskConfig.cmake ${PROJECT_BINARY_DIR}/VeskConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Vesk)

configure_file(cmake/vesk.pc.in ${PROJECT_BINARY_DIR}/vesk.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vesk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
