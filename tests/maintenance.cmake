# Tests of the backup page. Those that mount a stick on their temporary system root run in
# a private mount namespace (mountns.sh); the real runs also get a throwaway MariaDB server,
# started and stopped by the mariadb fixture, found through HOME/.my.cnf.

panel_test(treecopy)
# The panel's words for what the engine reports.
panel_test(maintenancetext)

# A test of the system tier, run in its private mount namespace (under the emulator in a
# cross build).
function(panel_namespace_test name)
    add_executable(tst_${name} tst_${name}.cpp)
    target_link_libraries(tst_${name} PRIVATE servicepanel_core servicepanel_res ${QT}::Test)
    target_include_directories(tst_${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    add_test(NAME ${name}
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/mountns.sh ${PANEL_TEST_EMULATOR}
                     $<TARGET_FILE:tst_${name}>)
    set_tests_properties(${name} PROPERTIES LABELS system
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots"
        SKIP_REGULAR_EXPRESSION "SKIP   : tst_${name}::initTestCase")
    panel_emulated_test(${name} tst_${name})
endfunction()

panel_namespace_test(maintenancecommands)
panel_namespace_test(maintenance_mariadb)

set(PANEL_MARIADB_DIR ${CMAKE_BINARY_DIR}/mariadb-fixture)
add_test(NAME mariadb_start
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/mariadb-fixture.sh start ${PANEL_MARIADB_DIR})
add_test(NAME mariadb_stop
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/mariadb-fixture.sh stop ${PANEL_MARIADB_DIR})
set_tests_properties(mariadb_start PROPERTIES FIXTURES_SETUP mariadb LABELS system)
set_tests_properties(mariadb_stop PROPERTIES FIXTURES_CLEANUP mariadb LABELS system)
panel_cross_test(mariadb_start)
panel_cross_test(mariadb_stop)
set_tests_properties(maintenance_mariadb PROPERTIES
    FIXTURES_REQUIRED mariadb
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots;HOME=${PANEL_MARIADB_DIR}/home;PANEL_TEST_MARIADB_DIR=${PANEL_MARIADB_DIR}")

# --- backup engine (maintenance/) --------------------------------------------------------
panel_test(manifest LIBS servicepanel_maintenance)
panel_test(deviceidentity LIBS servicepanel_maintenance)
# The engine's parts on their own, in temporary folders: no mounts, no database server.
panel_test(treewalker LIBS servicepanel_maintenance)
panel_test(treeremover LIBS servicepanel_maintenance)
panel_test(treereplacer LIBS servicepanel_maintenance)
panel_test(restorejournal LIBS servicepanel_maintenance)
panel_test(legacyset LIBS servicepanel_maintenance)
panel_test(stickfile LIBS servicepanel_maintenance)
panel_test(mountpoints LIBS servicepanel_maintenance)
panel_namespace_test(backupengine)
set_tests_properties(backupengine PROPERTIES TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=900000")
# The same tests as a user who is not root, in a namespace of its own (unshare -Ur).
add_test(NAME backupengine_user
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/asuser.sh ${PANEL_TEST_EMULATOR}
                 $<TARGET_FILE:tst_backupengine>)
panel_cross_test(backupengine_user)
set_tests_properties(backupengine_user PROPERTIES TIMEOUT 900 LABELS system
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=900000"
    SKIP_REGULAR_EXPRESSION "SKIP   : tst_backupengine::initTestCase")
# --- end of backup engine ----------------------------------------------------------------

# Unit tests of the engine's shared pieces: the window-free library alone.
function(engine_unit_test name)
    add_executable(tst_${name} tst_${name}.cpp)
    target_link_libraries(tst_${name} PRIVATE servicepanel_maintenance ${QT}::Test)
    target_include_directories(tst_${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    add_test(NAME ${name} COMMAND tst_${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    panel_emulated_test(${name} tst_${name})
endfunction()
engine_unit_test(folderswap)
engine_unit_test(entrymover)
engine_unit_test(fsprimitives)
