# Tests of the safety of Restore, Clear Data and Power Off: the command runner's time limit,
# the vetting of dumps from a stick, their loading with a way back, the path checks and the
# taps that queue up while an action runs. Uses panel_namespace_test and the mariadb fixture
# of maintenance.cmake.

panel_test(dumpvetting)
target_compile_definitions(tst_dumpvetting PRIVATE PANEL_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
panel_test(commandrunner)
panel_test(pathcheck)

# Clear Data and Power Off; mount points need the mount namespace.
panel_namespace_test(clearpoweroff)
