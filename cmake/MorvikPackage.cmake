# The installable package: the libraries and the helper in one folder, the headers in one flat folder,
# a CMake config (find_package(MorvikFeedback CONFIG) gives Morvik::Feedback and Morvik::FeedbackQuick)
# and a pkg-config file for builds without CMake.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# One folder for the helper and every library of ours, as in the build tree: the helper loads its
# on-demand libraries from the folder it runs from, and each finds the others through $ORIGIN.
set(MORVIK_INSTALL_PKGLIBDIR ${CMAKE_INSTALL_LIBDIR}/morvik-feedback)
set(MORVIK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/MorvikFeedback)
set(MORVIK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/MorvikFeedback)

set(morvik_feedback_libraries
    morvik_platform morvik_platform_network morvik_config morvik_delivery morvik_records morvik_offers
    morvik_nudge)
set(morvik_feedback_quick_libraries morvik_composer morvik_delivery_quick morvik_host morvik_host_windows)
# Not linked by an embedder, but shipped beside the helper, which loads it on its first flush.
set(morvik_helper_libraries morvik_host_delivery)
set(morvik_installed_libraries
    ${morvik_feedback_libraries} ${morvik_feedback_quick_libraries} ${morvik_helper_libraries})

# The two targets an embedder links. Morvik::FeedbackQuick brings Morvik::Feedback with it.
add_library(morvik_feedback INTERFACE)
target_link_libraries(morvik_feedback INTERFACE ${morvik_feedback_libraries})
set_target_properties(morvik_feedback PROPERTIES EXPORT_NAME Feedback)
add_library(morvik_feedback_quick INTERFACE)
target_link_libraries(morvik_feedback_quick INTERFACE morvik_feedback ${morvik_feedback_quick_libraries})
set_target_properties(morvik_feedback_quick PROPERTIES EXPORT_NAME FeedbackQuick)
add_library(Morvik::Feedback ALIAS morvik_feedback)
add_library(Morvik::FeedbackQuick ALIAS morvik_feedback_quick)

# Installed headers are flat, one folder, and include each other by bare name ("Feedback.h"); the
# folder itself and its parent are on the include path, so an embedder writes either
# #include <MorvikFeedback/Feedback.h> or #include "Feedback.h".
set(morvik_installed_headers)
foreach(library ${morvik_installed_libraries})
    set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
    target_include_directories(${library} INTERFACE
        $<INSTALL_INTERFACE:${MORVIK_INSTALL_INCLUDEDIR}> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    get_target_property(source_dir ${library} SOURCE_DIR)
    get_target_property(binary_dir ${library} BINARY_DIR)
    list(APPEND morvik_installed_headers ${binary_dir}/${library}_export.h)
    file(GLOB library_headers ${source_dir}/*.h)
    list(APPEND morvik_installed_headers ${library_headers})
endforeach()
list(REMOVE_DUPLICATES morvik_installed_headers)

install(TARGETS ${morvik_installed_libraries} morvik_feedback morvik_feedback_quick
    EXPORT MorvikFeedbackTargets
    LIBRARY DESTINATION ${MORVIK_INSTALL_PKGLIBDIR})
install(FILES ${morvik_installed_headers} DESTINATION ${MORVIK_INSTALL_INCLUDEDIR})

# The composer's QML module (when src/composer declares one with qt_add_qml_module) installs its
# plugin and qmldir here, into the same folder as the libraries:
#   install(TARGETS <qml module plugin> EXPORT MorvikFeedbackTargets LIBRARY DESTINATION ${MORVIK_INSTALL_PKGLIBDIR})
# and adds the plugin to morvik_feedback_quick_libraries above.

install(TARGETS morvik-feedback-helper RUNTIME DESTINATION ${MORVIK_INSTALL_PKGLIBDIR})
set_target_properties(morvik-feedback-helper PROPERTIES INSTALL_RPATH "$ORIGIN")
# A link in bin/ for owners that look the helper up on PATH: the loader resolves $ORIGIN and the helper
# its application folder through the link, so both still find the libraries beside the real file.
file(RELATIVE_PATH morvik_helper_link_target /${CMAKE_INSTALL_BINDIR} /${MORVIK_INSTALL_PKGLIBDIR})
install(CODE "
    set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bindir}\")
    file(CREATE_LINK \"${morvik_helper_link_target}/morvik-feedback-helper\"
        \"\${bindir}/morvik-feedback-helper\" SYMBOLIC)
    message(STATUS \"Installing: \${bindir}/morvik-feedback-helper (link)\")")

install(EXPORT MorvikFeedbackTargets NAMESPACE Morvik:: DESTINATION ${MORVIK_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/MorvikFeedbackConfig.cmake.in
    ${PROJECT_BINARY_DIR}/MorvikFeedbackConfig.cmake
    INSTALL_DESTINATION ${MORVIK_INSTALL_CMAKEDIR}
    PATH_VARS MORVIK_INSTALL_PKGLIBDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MorvikFeedbackConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/MorvikFeedbackConfig.cmake ${PROJECT_BINARY_DIR}/MorvikFeedbackConfigVersion.cmake
    DESTINATION ${MORVIK_INSTALL_CMAKEDIR})

# pkg-config: Qt through the modules Qt ships .pc files for; QCoro ships none, so its include folders
# and libraries are written out from its CMake targets.
get_target_property(morvik_qcoro_includes QCoro6::Core INTERFACE_INCLUDE_DIRECTORIES)
set(MORVIK_PC_QCORO_CFLAGS "")
list(REMOVE_ITEM morvik_qcoro_includes /usr/include) # the compiler's own; -I would reorder it
foreach(dir ${morvik_qcoro_includes})
    string(APPEND MORVIK_PC_QCORO_CFLAGS " -I${dir}")
endforeach()
set(MORVIK_PC_QCORO_LIBS "$<TARGET_LINKER_FILE:QCoro6::Core> $<TARGET_LINKER_FILE:QCoro6::Network>")
set(MORVIK_PC_LIBS "")
foreach(library ${morvik_feedback_libraries} ${morvik_feedback_quick_libraries})
    string(APPEND MORVIK_PC_LIBS " -l${library}")
endforeach()
# The prefix is found from the file's own place, so that the package works wherever it is installed
# (cmake --install --prefix, DESTDIR).
file(RELATIVE_PATH MORVIK_PC_PREFIX_FROM_PCFILEDIR /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" MORVIK_PC_PREFIX_FROM_PCFILEDIR "${MORVIK_PC_PREFIX_FROM_PCFILEDIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/morvik-feedback.pc.in ${PROJECT_BINARY_DIR}/morvik-feedback.pc.configured @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/morvik-feedback.pc INPUT ${PROJECT_BINARY_DIR}/morvik-feedback.pc.configured)
install(FILES ${PROJECT_BINARY_DIR}/morvik-feedback.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
