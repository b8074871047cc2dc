# The Linux desktop program vmkt: the window model shown with Qt 6 Widgets.

find_package(Qt6 REQUIRED COMPONENTS Widgets)
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb)

set(CMAKE_AUTORCC ON)

# The view and the Qt services, shared by the program and its tests.
add_library(vmkt_qt STATIC
  ui/qt/qt_services.cpp
  ui/qt/qt_services.h
  ui/qt/widgets.cpp
  ui/qt/widgets.h
  ui/qt/input_box.cpp
  ui/qt/input_box.h
  ui/qt/view.cpp
  ui/qt/view.h
  ui/qt/x11_state.cpp
  ui/qt/x11_state.h
)
target_link_libraries(vmkt_qt PUBLIC vmkt_core Qt6::Widgets PkgConfig::XCB)

# The program on the Linux services of cmake/Linux.cmake.
add_executable(vmkt app/main_qt.cpp ui/icons/vmkt.qrc)
target_link_libraries(vmkt PRIVATE vmkt_qt vmkt_linux)

include(GNUInstallDirs)
install(TARGETS vmkt RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(_size 16 32 48 64 128 256)
  install(FILES ui/icons/vmkt-${_size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME vmkt.png)
endforeach()
install(FILES ui/icons/vmkt.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ui/icons/vmkt.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The core's tests are switched on with VMKT_TESTS; these follow it unless
# asked for on their own.
option(VMKT_QT_TESTS "Build the tests of the Qt desktop program" ${VMKT_TESTS})
if(VMKT_QT_TESTS)
  enable_testing()
  find_package(Qt6 REQUIRED COMPONENTS Test)

  # The view's mapping of the model, on Qt's offscreen platform.
  add_executable(vmkt_qt_view_tests tests/qt/test_view.cpp)
  set_target_properties(vmkt_qt_view_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(vmkt_qt_view_tests PRIVATE vmkt_qt vmkt_headless Qt6::Test)
  add_test(NAME qt.view COMMAND vmkt_qt_view_tests)
  set_tests_properties(qt.view PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)

  # The whole program under Xvfb with a real notification area, driven by
  # xdotool. Screenshots go into the build tree.
  add_test(NAME qt.desktop_e2e
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/desktop.sh $<TARGET_FILE:vmkt>
                   ${CMAKE_BINARY_DIR}/e2e-artifacts)
  set_tests_properties(qt.desktop_e2e PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)

  # The same program when its surroundings fail: no sound server, one that
  # dies mid-ring, no tray, no bus, no DPMS, unwritable or corrupt settings.
  add_test(NAME qt.faults_e2e
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/faults.sh $<TARGET_FILE:vmkt>
                   ${CMAKE_BINARY_DIR}/faults-artifacts)
  set_tests_properties(qt.faults_e2e PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
