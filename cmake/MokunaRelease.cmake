# What a release build shares: one version from project(), put into each deliverable's version resource,
# and the flags that make two builds of the same commit byte for byte the same.
include_guard(GLOBAL)

set(MOKUNA_COMPANY "Oribel開発プロジェクト")

# mokuna_version_resource(target "description"): a VERSIONINFO resource for an .exe or .dll target.
function(mokuna_version_resource target description)
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "EXECUTABLE")
    set(MOKUNA_FILE_TYPE VFT_APP)
    set(suffix .exe)
  else()
    set(MOKUNA_FILE_TYPE VFT_DLL)
    set(suffix .dll)
  endif()
  set(MOKUNA_FILE_DESCRIPTION "${description}")
  set(MOKUNA_INTERNAL_NAME ${target})
  set(MOKUNA_ORIGINAL_FILENAME ${target}${suffix})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

if(WIN32 AND NOT MSVC)
  # No build folder or source folder in the binaries (assertion texts, debug paths), and no link time:
  # ld would otherwise stamp each .exe and .dll with it.
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>
                      $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
