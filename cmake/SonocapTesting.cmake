# sonocap_add_gtest(NAME SOURCES src... LIBS lib... [SANITIZE] [TSAN] [SERIAL] [LABEL label]
#                   [ENVIRONMENT var=value])
#
# A GoogleTest program registered with CTest. In the normal tree its tests carry
# the label "unit", or LABEL when given. In the sanitizer tree (SONOCAP_SANITIZE) only
# programs marked SANITIZE are built, their tests labelled "sanitize", and the target
# sonocap_sanitize_tests builds exactly those. In the ThreadSanitizer tree (SONOCAP_TSAN)
# the same holds for programs marked TSAN, the label "tsan" and sonocap_tsan_tests.
# SERIAL tests never run beside another test (they share an outside resource).
if(NOT TARGET sonocap_sanitize_tests)
  add_custom_target(sonocap_sanitize_tests)
endif()
if(NOT TARGET sonocap_tsan_tests)
  add_custom_target(sonocap_tsan_tests)
endif()

function(sonocap_add_gtest name)
  cmake_parse_arguments(T "SANITIZE;TSAN;SERIAL" "LABEL" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  if(SONOCAP_SANITIZE AND NOT T_SANITIZE)
    return()
  endif()
  if(SONOCAP_TSAN AND NOT T_TSAN)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(SONOCAP_SANITIZE)
    set(label sanitize)
    add_dependencies(sonocap_sanitize_tests ${name})
  elseif(SONOCAP_TSAN)
    set(label tsan)
    add_dependencies(sonocap_tsan_tests ${name})
  elseif(T_LABEL)
    set(label ${T_LABEL})
  else()
    set(label unit)
  endif()
  # Where the sources and the corpus clips are, for tests that read files.
  target_compile_definitions(${name} PRIVATE
    SONOCAP_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SONOCAP_CORPUS_DIR="${SONOCAP_CORPUS_DIR}")
  # The discovery script splits list values, so ENVIRONMENT holds one variable at most.
  list(LENGTH T_ENVIRONMENT envCount)
  if(envCount GREATER 1)
    message(FATAL_ERROR "sonocap_add_gtest(${name}): ENVIRONMENT takes one variable")
  endif()
  set(properties LABELS ${label})
  if(envCount EQUAL 1)
    list(APPEND properties ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    PROPERTIES ${properties}
    DISCOVERY_TIMEOUT 30)
endfunction()

# sonocap_add_qtest(NAME SOURCES src... LIBS lib...): a Qt Test program, one CTest test,
# off screen; left out of the sanitizer and ThreadSanitizer trees.
function(sonocap_add_qtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(SONOCAP_SANITIZE OR SONOCAP_TSAN)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  target_compile_definitions(${name} PRIVATE
    SONOCAP_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SONOCAP_CORPUS_DIR="${SONOCAP_CORPUS_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS unit)
endfunction()
