# Yotei.dll on Windows: the settings page and the exports over yotei_core. The page is an object library so
# that a Win32 test could run the very code the DLL is made of.
add_library(yotei_win OBJECT ${CMAKE_CURRENT_LIST_DIR}/YoteiPage.cpp)
target_include_directories(yotei_win PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(yotei_win PUBLIC yotei_core mokuna_common mokuna_win32 user32 gdi32)

# The .def file keeps the export names plain on every architecture.
add_library(Yotei SHARED ${CMAKE_CURRENT_LIST_DIR}/YoteiDll.cpp ${CMAKE_CURRENT_LIST_DIR}/Yotei.def)
set_target_properties(Yotei PROPERTIES OUTPUT_NAME Yotei PREFIX "")
target_link_libraries(Yotei PRIVATE yotei_win)
mokuna_version_resource(Yotei "Mokuna reminders and hourly chime plug-in")
