# The translations: lrelease compiles each translations/servicepanel_<language>.ts into a .qm
# during the build, and the .qm files are compiled into the program as resources under
# :/i18n. scripts/translations refreshes the .ts files from the sources.

find_package(Qt${PANEL_QT_MAJOR} REQUIRED COMPONENTS LinguistTools)

file(GLOB PANEL_TS_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/servicepanel_*.ts)
set(PANEL_QM_DIR ${CMAKE_BINARY_DIR}/i18n)
set_source_files_properties(${PANEL_TS_FILES} PROPERTIES OUTPUT_LOCATION ${PANEL_QM_DIR})
if(PANEL_QT_MAJOR EQUAL 5)
    qt5_add_translation(PANEL_QM_FILES ${PANEL_TS_FILES})
else()
    qt6_add_translation(PANEL_QM_FILES ${PANEL_TS_FILES})
endif()

set(PANEL_I18N_QRC ${PANEL_QM_DIR}/i18n.qrc)
set(qrc_content "<RCC>\n    <qresource prefix=\"/i18n\">\n")
foreach(qm ${PANEL_QM_FILES})
    get_filename_component(qm_name ${qm} NAME)
    string(APPEND qrc_content "        <file>${qm_name}</file>\n")
endforeach()
string(APPEND qrc_content "    </qresource>\n</RCC>\n")
file(WRITE ${PANEL_I18N_QRC}.in "${qrc_content}")
configure_file(${PANEL_I18N_QRC}.in ${PANEL_I18N_QRC} COPYONLY)

# rcc runs after lrelease: the generated source depends on the .qm files the .qrc lists.
if(PANEL_QT_MAJOR EQUAL 5)
    qt5_add_resources(PANEL_I18N_SOURCES ${PANEL_I18N_QRC})
else()
    qt6_add_resources(PANEL_I18N_SOURCES ${PANEL_I18N_QRC})
endif()
set_source_files_properties(${PANEL_I18N_QRC} PROPERTIES SKIP_AUTORCC ON)
# In the object library of the resources, so that the registration survives linking.
target_sources(servicepanel_res PRIVATE ${PANEL_I18N_SOURCES})
