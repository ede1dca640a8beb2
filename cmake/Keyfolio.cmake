# Helpers shared by the folders' CMakeLists.txt files.

set(KF_SOURCE_DIR ${CMAKE_SOURCE_DIR}/src)
set(KF_TEST_DATA_DIR ${CMAKE_SOURCE_DIR}/tests/data)
# Compiled into every test program: it keeps no settings (KEYFOLIO_NO_SETTINGS=1).
set(KF_TEST_NO_SETTINGS ${CMAKE_SOURCE_DIR}/tests/support/NoSettings.cpp)

# kf_core_sources(files...): adds files (relative to the calling folder) to keyfolio_core.
function(kf_core_sources)
  foreach(f IN LISTS ARGN)
    set_property(GLOBAL APPEND PROPERTY KF_CORE_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
endfunction()

# kf_ui_sources(files...): adds files to keyfolio_ui (windows and controls).
function(kf_ui_sources)
  foreach(f IN LISTS ARGN)
    set_property(GLOBAL APPEND PROPERTY KF_UI_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
endfunction()

# kf_tool_sources(files...): adds files to the keyfolio-tool executable.
function(kf_tool_sources)
  foreach(f IN LISTS ARGN)
    set_property(GLOBAL APPEND PROPERTY KF_TOOL_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${f})
  endforeach()
endfunction()

# kf_test_folder(var target): the tests folder of the calling CMakeLists.txt
# ("model" for tests/model) into var. Each test carries it as its CTest label
# (ctest -L model), and the target tests_<folder> builds every test
# executable of the folder (cmake --build build --target tests_model).
function(kf_test_folder var target)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  if(NOT TARGET tests_${folder})
    add_custom_target(tests_${folder})
  endif()
  add_dependencies(tests_${folder} ${target})
  set(${var} ${folder} PARENT_SCOPE)
endfunction()

# kf_gtest(name sources... [LIBS libs...]): a GoogleTest executable for logic.
# Links keyfolio_core unless LIBS says otherwise.
function(kf_gtest name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  if(NOT T_LIBS)
    set(T_LIBS keyfolio_core)
  endif()
  add_executable(${name} ${T_UNPARSED_ARGUMENTS} ${KF_TEST_NO_SETTINGS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE KF_TEST_DATA_DIR="${KF_TEST_DATA_DIR}"
    KF_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # Each property value is a single item: a list such as "A=1;B=2" would be
  # split on its way to the discovered tests (LANG=C taken for a property name).
  kf_test_folder(folder ${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ENVIRONMENT_MODIFICATION "LANG=set:C"
    LABELS ${folder})
endfunction()

# kf_qtest(name sources... [LIBS libs...]): a Qt Test executable for windows.
function(kf_qtest name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  if(NOT T_LIBS)
    set(T_LIBS keyfolio_ui)
  endif()
  add_executable(${name} ${T_UNPARSED_ARGUMENTS} ${KF_TEST_NO_SETTINGS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  target_compile_definitions(${name} PRIVATE KF_TEST_DATA_DIR="${KF_TEST_DATA_DIR}"
    KF_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  kf_test_folder(folder ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C;KEYFOLIO_NO_SETTINGS=1" TIMEOUT 300
    LABELS ${folder})
endfunction()
