# The Qt dialog layer shared by the programs' windows: fixed layouts in dialog
# units, controls by id, message boxes and file dialogs behind interfaces.
add_library(kinemo_dialogs STATIC
    ${CMAKE_CURRENT_LIST_DIR}/dialog_events.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_events.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_file.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_job.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_job.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_message.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_message.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_ports.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_ports.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_scripted.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_scripted.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_signals.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_signals.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_units.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_units.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_window.h)
set_target_properties(kinemo_dialogs PROPERTIES AUTOMOC ON)
target_link_libraries(kinemo_dialogs PUBLIC Qt6::Widgets kinemo_signals kinemo_options PRIVATE kinemo_serial)
