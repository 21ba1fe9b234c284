# velmora_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>])
# One QtTest executable registered with ctest; GUI tests run offscreen.
function(velmora_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBS})
    target_compile_definitions(${T_NAME} PRIVATE
        VELMORA_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        VELMORA_EXAMPLES="${PROJECT_SOURCE_DIR}/examples"
        VELMORA_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
        VELMORA_LIB_DIR="${CMAKE_BINARY_DIR}/lib")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}")
endfunction()
