# The Linux services: sound through PulseAudio, settings in INI files and XDG
# autostart, power through systemd-logind on the system bus, display power
# through X11 DPMS. Included from the top-level CMakeLists.txt when
# VMKT_LINUX is on. vmkt_linux needs only app/platform.h from the core.

set(VMKT_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

find_package(Threads REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core DBus)
find_package(PkgConfig REQUIRED)
pkg_check_modules(VMKT_PULSE REQUIRED IMPORTED_TARGET libpulse-simple)
pkg_check_modules(VMKT_XLIBS REQUIRED IMPORTED_TARGET x11 xext)

add_library(vmkt_linux STATIC
  ${VMKT_SOURCE_ROOT}/actions/sound_pulse.cpp
  ${VMKT_SOURCE_ROOT}/settings/registry_linux.cpp
  ${VMKT_SOURCE_ROOT}/app/system_linux.cpp
)
target_include_directories(vmkt_linux PUBLIC ${VMKT_SOURCE_ROOT})
target_link_libraries(vmkt_linux
  PUBLIC Qt6::Core Qt6::DBus Threads::Threads
  PRIVATE PkgConfig::VMKT_PULSE PkgConfig::VMKT_XLIBS
)

if(VMKT_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  enable_testing()

  add_library(vmkt_linux_test_support STATIC ${VMKT_SOURCE_ROOT}/tests/linux/test_support.cpp)
  target_include_directories(vmkt_linux_test_support PUBLIC ${VMKT_SOURCE_ROOT})

  # Each test starts the servers it needs (pulseaudio, dbus-daemon, Xvfb) in
  # a temporary directory of its own, so the tests can run in parallel.
  foreach(_vmkt_test sound_pulse registry_linux system_linux)
    add_executable(vmkt_${_vmkt_test}_test ${VMKT_SOURCE_ROOT}/tests/linux/${_vmkt_test}_test.cpp)
    target_link_libraries(vmkt_${_vmkt_test}_test PRIVATE vmkt_linux vmkt_linux_test_support)
    target_compile_definitions(vmkt_${_vmkt_test}_test PRIVATE
      VMKT_TEST_SOURCE_DIR="${VMKT_SOURCE_ROOT}/tests/linux")
    gtest_discover_tests(vmkt_${_vmkt_test}_test
      DISCOVERY_MODE PRE_TEST
      PROPERTIES TIMEOUT 120 LABELS linux)
  endforeach()
  target_link_libraries(vmkt_sound_pulse_test PRIVATE GTest::gtest_main)
  target_link_libraries(vmkt_registry_linux_test PRIVATE GTest::gtest_main)
  # Has a main of its own, with a Qt application object.
  target_link_libraries(vmkt_system_linux_test PRIVATE GTest::gtest PkgConfig::VMKT_XLIBS)

  # The victim of the interrupted-write test.
  add_executable(vmkt_registry_writer ${VMKT_SOURCE_ROOT}/tests/linux/registry_writer.cpp)
  target_link_libraries(vmkt_registry_writer PRIVATE vmkt_linux)
  add_dependencies(vmkt_registry_linux_test vmkt_registry_writer)
  target_compile_definitions(vmkt_registry_linux_test PRIVATE
    VMKT_REGISTRY_WRITER="$<TARGET_FILE:vmkt_registry_writer>")
endif()
