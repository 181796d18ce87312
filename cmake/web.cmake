# The browser build, configured by scripts/web.sh with Debian's emscripten
# (emcmake). SSE2 intrinsics become wasm SIMD; the AVX2 paths and the
# processor check exist only on x86 (raster.h). SDL and SDL_mixer are the
# browser's platform layer (src/shell/platform_web*), not emscripten's.
add_compile_options(-msimd128 -msse2)

add_library(sdl INTERFACE)
target_include_directories(sdl INTERFACE ${CMAKE_SOURCE_DIR}/src/shell/platform_web)

add_subdirectory(src/platform)
add_subdirectory(src/raster)
add_subdirectory(src/render3d)
add_subdirectory(src/shell)
add_subdirectory(src/scenes)
add_subdirectory(tools/player)
add_subdirectory(src/web)

# The table dump in a page of its own (tests/web/tables.html), to compare
# the browser's precalculated tables with the native build's.
set(tables_page ${CMAKE_BINARY_DIR}/tables-page)
add_executable(lanternfay-tables ${CMAKE_SOURCE_DIR}/tests/cross/table_dump.cpp)
target_link_libraries(lanternfay-tables PRIVATE scenes)
target_link_options(lanternfay-tables PRIVATE -sENVIRONMENT=web -sINVOKE_RUN=0 -sFORCE_FILESYSTEM=1
                    -sALLOW_MEMORY_GROWTH=1 -sEXPORTED_RUNTIME_METHODS=FS,callMain)
set_target_properties(lanternfay-tables PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${tables_page})
add_custom_command(TARGET lanternfay-tables POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/tests/web/tables.html ${tables_page}/index.html)

# The browser's SDL layer on its own, under Node.js (tests/web).
add_executable(test_platform_web ${CMAKE_SOURCE_DIR}/tests/web/test_platform_web.cpp)
target_link_libraries(test_platform_web PRIVATE shell)
target_link_options(test_platform_web PRIVATE -sENVIRONMENT=node -sEXIT_RUNTIME=1 -sWASM_ASYNC_COMPILATION=0)
set_target_properties(test_platform_web PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
