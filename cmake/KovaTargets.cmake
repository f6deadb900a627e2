# kova_library(NAME DEPS...): a static library of every source in the calling folder
# and its sub-folders.
function(kova_library name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# kova_test(NAME [GUI|WIDGETS] DEPS...): one GoogleTest executable of every source in the
# calling folder. GUI runs the tests inside a QGuiApplication (fonts, text layout),
# WIDGETS inside a QApplication (dialogs).
function(kova_test name)
  cmake_parse_arguments(PARSE_ARGV 1 KOVA_TEST "GUI;WIDGETS" "" "")
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_executable(${name} ${sources})
  set(main kova_test_main)
  if(KOVA_TEST_GUI)
    set(main kova_test_main_gui)
  elseif(KOVA_TEST_WIDGETS)
    set(main kova_test_main_widgets)
  endif()
  target_link_libraries(${name} PRIVATE ${main} GTest::gtest GTest::gmock ${KOVA_TEST_UNPARSED_ARGUMENTS})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${name}."
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
