# Lints the layouts of the QML module Morvik.Feedback as the build tree holds them (beside their
# qmldir and type descriptions) and fails on any warning but one.
#
# The one: Debian's Qt5Compat.GraphicalEffects for Qt 6.4 lists a type description for its private
# part that the package does not ship, so qmllint warns on every import of it (the banner's shadow)
# although the module loads and works. Only that exact message is let through; any other warning of
# the same kind (an import that really fails) still fails the check.
#
# Arguments: QMLLINT, IMPORT_DIR (the folder that holds Morvik/Feedback), QT_QML_DIR.
file(GLOB layouts "${IMPORT_DIR}/Morvik/Feedback/*.qml")
if(NOT layouts)
    message(FATAL_ERROR "no layouts under ${IMPORT_DIR}/Morvik/Feedback: build morvik_composer first")
endif()
execute_process(
    COMMAND "${QMLLINT}" --bare -I "${IMPORT_DIR}" -I "${QT_QML_DIR}" ${layouts}
    WORKING_DIRECTORY "${IMPORT_DIR}/Morvik/Feedback"
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
set(report "${out}${err}")
string(REPLACE "\n" ";" lines "${report}")
set(unexpected "")
set(tolerated 0)
foreach(line IN LISTS lines)
    if(NOT line MATCHES "^(Warning|Error):")
        continue()
    endif()
    if(line MATCHES "^Warning: .*FeedbackBanner\\.qml:[0-9]+:[0-9]+: Warnings occurred while importing module \"Qt5Compat\\.GraphicalEffects\":$"
       OR line MATCHES "^Warning: QML types file does not exist: .*/Qt5Compat/GraphicalEffects/private/plugins\\.qmltypes$")
        math(EXPR tolerated "${tolerated} + 1")
    else()
        list(APPEND unexpected "${line}")
    endif()
endforeach()
if(unexpected OR (NOT rc EQUAL 0 AND tolerated EQUAL 0))
    message(FATAL_ERROR "qmllint (exit ${rc}):\n${report}")
endif()
list(LENGTH layouts count)
message(STATUS "qmllint: ${count} layouts clean")
