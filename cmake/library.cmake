# The codec as a library other programs call: `cmake --install` puts include/velko/*.h,
# libvelko_codec.a, a CMake package (find_package(velko) gives velko::codec) and velko.pc,
# all in the component Development, which the packages leave out.
set_target_properties(velko_codec PROPERTIES EXPORT_NAME codec POSITION_INDEPENDENT_CODE ON)
install(TARGETS velko_codec EXPORT velkoTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(DIRECTORY include/velko DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
set(VELKO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/velko)
install(EXPORT velkoTargets NAMESPACE velko:: DESTINATION ${VELKO_CMAKE_DIR}
        COMPONENT Development)
include(CMakePackageConfigHelpers)
file(WRITE ${PROJECT_BINARY_DIR}/velkoConfig.cmake
     "include(\"\${CMAKE_CURRENT_LIST_DIR}/velkoTargets.cmake\")\n")
write_basic_package_version_file(${PROJECT_BINARY_DIR}/velkoConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/velkoConfig.cmake ${PROJECT_BINARY_DIR}/velkoConfigVersion.cmake
        DESTINATION ${VELKO_CMAKE_DIR} COMPONENT Development)
# pkg-config finds the prefix from where velko.pc is, wherever the tree was installed.
file(RELATIVE_PATH VELKO_PC_UP /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(res/velko.pc.in ${PROJECT_BINARY_DIR}/velko.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velko.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT Development)
