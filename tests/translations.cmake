# The panel's languages: the choice of language, the Chinese panel, and the .ts files being
# current with the sources.

panel_test(language)
target_compile_definitions(tst_language PRIVATE SERVICEPANEL_EXE="$<TARGET_FILE:servicepanel>")
add_dependencies(tst_language servicepanel)

# Runs in a private mount namespace where it can, to see the backup and restore with a stick.
add_executable(tst_translations tst_translations.cpp)
target_link_libraries(tst_translations PRIVATE servicepanel_core servicepanel_res ${QT}::Test)
target_include_directories(tst_translations PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# The test builds the dialogs' and the main window's forms alone, as their retranslateUi leaves them.
set_target_properties(tst_translations PROPERTIES AUTOUIC_SEARCH_PATHS
    "${PROJECT_SOURCE_DIR}/app;${PROJECT_SOURCE_DIR}/dialogs")
target_compile_definitions(tst_translations PRIVATE
    PANEL_TS_DIR="${PROJECT_SOURCE_DIR}/translations")
add_test(NAME translations
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/mountns.sh ${PANEL_TEST_EMULATOR}
                 $<TARGET_FILE:tst_translations>)
panel_emulated_test(translations tst_translations)
set_tests_properties(translations PROPERTIES LABELS system
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots")

# Every text of the sources is in each .ts, none is there that the sources lost, none is
# unfinished: lupdate of this Qt reads the sources again into a copy.
add_test(NAME translations_current
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/translations --check)
set_tests_properties(translations_current PROPERTIES LABELS unit
    ENVIRONMENT "LUPDATE=$<TARGET_FILE:${QT}::lupdate>")
