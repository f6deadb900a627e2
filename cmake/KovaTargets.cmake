# kova_library(NAME DEPS...): a static library of every source in the calling folder
# and its sub-folders, less the sub-folders that make a library of their own (those
# with a CMakeLists.txt).
function(kova_library name)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  file(GLOB_RECURSE own_libraries RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(file IN LISTS own_libraries)
    get_filename_component(folder ${file} DIRECTORY)
    list(FILTER sources EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/${folder}/")
  endforeach()
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

# kova_link_closure(TARGET OUT): every target TARGET links, directly or through the
# libraries it links (aliases resolved), TARGET itself included.
function(kova_link_closure target out)
  set(pending ${target})
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      set(current ${aliased})
    endif()
    list(APPEND seen ${current})
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(links ${current} ${property})
      if(links)
        list(APPEND pending ${links})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# kova_without_widgets(TARGET...): stops the configuration when one of the targets
# links Qt Widgets, directly or through the libraries it links: the services and the
# privileged helper stand on them and must run without a display.
function(kova_without_widgets)
  foreach(target IN LISTS ARGN)
    kova_link_closure(${target} linked)
    foreach(current IN LISTS linked)
      if(current MATCHES "^Qt6?::Widgets$")
        message(FATAL_ERROR "${target} links Qt Widgets; only kova_core_ui and the applications may")
      endif()
    endforeach()
  endforeach()
endfunction()

# kova_links_only(TARGET LIBRARY...): stops the configuration when TARGET links one of
# the project's libraries other than those named, directly or through another: the
# privileged helper runs as root and carries the platform layer alone.
function(kova_links_only target)
  kova_link_closure(${target} linked)
  foreach(current IN LISTS linked)
    if(current MATCHES "^kova_" AND NOT current IN_LIST ARGN AND NOT current STREQUAL target)
      message(FATAL_ERROR "${target} links ${current}; it may link only ${ARGN}")
    endif()
  endforeach()
endfunction()
