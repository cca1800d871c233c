# Tests of the safety of Restore, Clear Data and Power Off: the command runner's time limit,
# the vetting of dumps from a stick, their loading with a way back, the path checks and the
# taps that queue up while an action runs. Uses panel_namespace_test and the mariadb fixture
# of maintenance.cmake.

panel_test(dumpvetting LIBS servicepanel_maintenance)
target_compile_definitions(tst_dumpvetting PRIVATE PANEL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
# The panel's words for a refused dump.
panel_test(vetterrefusal)
panel_test(commandrunner LIBS servicepanel_maintenance)

# Real loads into the throwaway server; the panel's stick needs the mount namespace.
panel_namespace_test(databaserestore)
set_tests_properties(databaserestore PROPERTIES
    FIXTURES_REQUIRED mariadb
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots;HOME=${PANEL_MARIADB_DIR}/home;PANEL_TEST_MARIADB_DIR=${PANEL_MARIADB_DIR}")
# Restore on real runs: hostile sticks and dumps, a pulled stick, links and mount points.
panel_namespace_test(restore)
set_tests_properties(restore PROPERTIES
    FIXTURES_REQUIRED mariadb TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=900000;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots;HOME=${PANEL_MARIADB_DIR}/home;PANEL_TEST_MARIADB_DIR=${PANEL_MARIADB_DIR}")
# databaserestore stops the server for a while: no other test may use it meanwhile.
set_property(TEST databaserestore maintenance_mariadb restore APPEND
             PROPERTY RESOURCE_LOCK mariadb-server)

# Clear Data and Power Off; mount points need the mount namespace.
panel_namespace_test(clearpoweroff)
panel_test(pathcheck)

# One stick for several devices: which device a set comes from, asked before it is replaced.
panel_namespace_test(setdevice)
set_tests_properties(setdevice PROPERTIES
    FIXTURES_REQUIRED mariadb
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots;HOME=${PANEL_MARIADB_DIR}/home;PANEL_TEST_MARIADB_DIR=${PANEL_MARIADB_DIR}")
set_property(TEST setdevice APPEND PROPERTY RESOURCE_LOCK mariadb-server)

# One maintenance action at a time: two panels, each its own process, on one system root.
add_executable(panelaction panelaction.cpp)
target_link_libraries(panelaction PRIVATE servicepanel_core servicepanel_res ${QT}::Test)
target_include_directories(panelaction PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
panel_namespace_test(maintenancelock)
target_compile_definitions(tst_maintenancelock PRIVATE PANELACTION_EXE="$<TARGET_FILE:panelaction>")
add_dependencies(tst_maintenancelock panelaction)

# Backup as the technician watches it: progress by bytes, a failed dump that ends it.
panel_namespace_test(backupprogress)

# What the stick is and what it holds: not the device's own /opt, room by blocks, a set that
# makes room for the new one.
panel_namespace_test(stickroom)
set_tests_properties(stickroom PROPERTIES
    FIXTURES_REQUIRED mariadb
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots;HOME=${PANEL_MARIADB_DIR}/home;PANEL_TEST_MARIADB_DIR=${PANEL_MARIADB_DIR}")
set_property(TEST stickroom APPEND PROPERTY RESOURCE_LOCK mariadb-server)

# A restore killed at each of its steps, in a child process (restorechild), then Backup, Clear
# Data and Restore tried.
add_executable(restorechild restorechild.cpp)
target_link_libraries(restorechild PRIVATE servicepanel_maintenance)
panel_namespace_test(restorekill)
target_compile_definitions(tst_restorekill PRIVATE RESTORECHILD_EXE="$<TARGET_FILE:restorechild>")
add_dependencies(tst_restorekill restorechild)
set_tests_properties(restorekill PROPERTIES
    FIXTURES_REQUIRED mariadb TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=900000;PANEL_SHOT_DIR=${CMAKE_BINARY_DIR}/shots;HOME=${PANEL_MARIADB_DIR}/home;PANEL_TEST_MARIADB_DIR=${PANEL_MARIADB_DIR}")
set_property(TEST restorekill APPEND PROPERTY RESOURCE_LOCK mariadb-server)
