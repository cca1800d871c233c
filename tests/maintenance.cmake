# Tests of the backup page. Those that mount a stick on their temporary system root run in
# a private mount namespace (mountns.sh); the real runs also get a throwaway MariaDB server,
# started and stopped by the mariadb fixture, found through HOME/.my.cnf.

panel_test(treecopy)

function(panel_namespace_test name)
    add_executable(tst_${name} tst_${name}.cpp)
    target_link_libraries(tst_${name} PRIVATE servicepanel_core servicepanel_res ${QT}::Test)
    target_include_directories(tst_${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    add_test(NAME ${name}
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/mountns.sh $<TARGET_FILE:tst_${name}>)
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots"
        SKIP_REGULAR_EXPRESSION "SKIP   : tst_${name}::initTestCase")
endfunction()

panel_namespace_test(maintenancecommands)
