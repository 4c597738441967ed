# Fennick.dll on Windows: the settings window, Winsock (with TLS through Schannel) and MCI over
# fennick_core. The units are an object library so that the Win32 tests run the very code the DLL is made of.
add_library(fennick_win OBJECT
  ${CMAKE_CURRENT_LIST_DIR}/DpapiProtector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MciSound.cpp
  ${CMAKE_CURRENT_LIST_DIR}/POP1.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SjisEncoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TlsTransport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WinsockTransport.cpp)
target_include_directories(fennick_win PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(fennick_win PUBLIC fennick_core mokuna_common mokuna_win32 ws2_32 secur32 crypt32 winmm user32
                                         gdi32)

# The .def file keeps the export names plain on every architecture.
add_library(Fennick SHARED ${CMAKE_CURRENT_LIST_DIR}/Fennick.cpp ${CMAKE_CURRENT_LIST_DIR}/Fennick.def)
set_target_properties(Fennick PROPERTIES OUTPUT_NAME Fennick PREFIX "")
target_link_libraries(Fennick PRIVATE fennick_win)
mokuna_version_resource(Fennick "Mokuna mail-check plug-in (POP3/APOP)")
