# The Windows program vmkt.exe and its platform services, and, when cross-
# building, GoogleTest from source so that the tests run through the emulator.
# Included by the top-level CMakeLists.txt before the tests.

enable_language(RC)

set(_vmkt_win_defs UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601
                   WINVER=0x0601 _WIN32_IE=0x0800)

# The Windows services: registry, system and sound.
add_library(vmkt_windows STATIC
  app/utf16_windows.cpp
  app/system_windows.cpp
  settings/registry_windows.cpp
  actions/sound_waveout.cpp
)
target_compile_definitions(vmkt_windows PUBLIC ${_vmkt_win_defs})
target_link_libraries(vmkt_windows PUBLIC vmkt_core advapi32 user32 winmm powrprof)

# The Win32 front end.
add_library(vmkt_win32_ui STATIC
  ui/win32/front_win32.cpp
  ui/win32/input_box_win32.cpp
  ui/win32/timers_win32.cpp
)
target_link_libraries(vmkt_win32_ui PUBLIC vmkt_windows comctl32 shell32 gdi32 user32)

add_executable(vmkt WIN32 app/main_win32.cpp ui/win32/vmkt.rc)
target_include_directories(vmkt PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui/win32)
target_link_libraries(vmkt PRIVATE vmkt_win32_ui)
target_link_options(vmkt PRIVATE -municode)
set_source_files_properties(ui/win32/vmkt.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/win32/vmkt.ico)

if(VMKT_TESTS)
  if(CMAKE_CROSSCOMPILING AND NOT TARGET GTest::gtest)
    set(VMKT_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    add_subdirectory(${VMKT_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Recent GoogleTest defines these names itself.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
    endif()
    if(NOT TARGET GTest::gtest_main)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  endif()
  # Listing the tests needs the emulator; do it when the tests run rather
  # than after every build.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
  enable_testing()
  add_subdirectory(tests/windows)
endif()
