# The toolpath interpreter's benchmark (included from bench/CMakeLists.txt).
add_executable(toolpath_bench ${CMAKE_CURRENT_LIST_DIR}/toolpath_bench.cpp)
target_link_libraries(toolpath_bench PRIVATE vostrel_core benchmark::benchmark)
target_compile_definitions(toolpath_bench PRIVATE VOSTREL_BENCH_EXE_DIR="${VOSTREL_OUT_DIR}")
