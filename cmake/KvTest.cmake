# kv_add_test(<unit> SOURCES <files...> [LIBS <targets...>] [WIDGETS] [TIMEOUT <s>] [LABELS <l...>])
#
# Builds the QtTest program tst_<unit> and registers it with CTest. Widget tests run on the
# offscreen platform so they need no display.
function(kv_add_test unit)
  cmake_parse_arguments(KT "WIDGETS" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  set(target tst_${unit})
  add_executable(${target} ${KT_SOURCES})
  target_link_libraries(${target} PRIVATE Qt6::Test ${KT_LIBS})
  target_compile_definitions(${target} PRIVATE
    KV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KV_BINARY_DIR="${PROJECT_BINARY_DIR}"
    KV_SHARED_DIR="${KV_SHARED_DIR}")
  add_test(NAME ${target} COMMAND ${target})
  set(env "QT_QPA_PLATFORM=offscreen")
  if(KV_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=1" "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  set_tests_properties(${target} PROPERTIES ENVIRONMENT "${env}")
  if(KT_TIMEOUT)
    set_tests_properties(${target} PROPERTIES TIMEOUT ${KT_TIMEOUT})
  else()
    set_tests_properties(${target} PROPERTIES TIMEOUT 300)
  endif()
  if(KT_LABELS)
    set_tests_properties(${target} PROPERTIES LABELS "${KT_LABELS}")
  endif()
endfunction()
