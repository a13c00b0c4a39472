# The sequencer's main window: motor panels, movement list editing, program
# files and the run hand-off (kinemo_sequencer_ui).
add_library(kinemo_sequencer_ui STATIC
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog.h
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog_ids.h
    ${CMAKE_CURRENT_LIST_DIR}/main_dialog_run.cpp
    ${CMAKE_CURRENT_LIST_DIR}/motor_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/motor_panel.h
    ${CMAKE_CURRENT_LIST_DIR}/motor_panel_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/motor_panel_text.h
    ${CMAKE_CURRENT_LIST_DIR}/movement_list_editing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/movement_list_names.cpp
    ${CMAKE_CURRENT_LIST_DIR}/movement_list_names.h
    ${CMAKE_CURRENT_LIST_DIR}/program_io.cpp)
set_target_properties(kinemo_sequencer_ui PROPERTIES AUTOMOC ON)
target_link_libraries(kinemo_sequencer_ui
    PUBLIC kinemo_dialogs kinemo_engine kinemo_sequencer_resources kinemo_options)
