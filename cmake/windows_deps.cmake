# The libraries of the Windows build, made from Debian's sources: jsoncpp and tinygltf from
# their source packages (unpacked by scripts/windows-test.sh into TOLVANE_WINDOWS_SOURCES),
# GoogleTest from the sources that libgtest-dev ships, and the header-only libraries that
# tinygltf needs from a copy of their Debian headers. The targets carry the names that the
# Linux build finds, so the rest of the build is the same on both.
set(TOLVANE_WINDOWS_SOURCES "" CACHE PATH "Where the Debian source packages are unpacked")
if(NOT IS_DIRECTORY "${TOLVANE_WINDOWS_SOURCES}")
  message(FATAL_ERROR "TOLVANE_WINDOWS_SOURCES must name the unpacked sources; "
                      "scripts/windows-test.sh makes them")
endif()

file(GLOB jsoncpp_dir LIST_DIRECTORIES true "${TOLVANE_WINDOWS_SOURCES}/libjsoncpp-*")
add_library(tolvane_jsoncpp STATIC ${jsoncpp_dir}/src/lib_json/json_reader.cpp
  ${jsoncpp_dir}/src/lib_json/json_value.cpp ${jsoncpp_dir}/src/lib_json/json_writer.cpp)
target_include_directories(tolvane_jsoncpp SYSTEM PUBLIC ${jsoncpp_dir}/include)
target_include_directories(tolvane_jsoncpp PRIVATE ${jsoncpp_dir}/src/lib_json)
target_compile_options(tolvane_jsoncpp PRIVATE -w)
add_library(PkgConfig::JSONCPP ALIAS tolvane_jsoncpp)

# gtest's own build (it names its targets GTest::gtest and so on), its warnings not ours.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target gtest gtest_main gmock gmock_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()

file(GLOB tinygltf_dir LIST_DIRECTORIES true "${TOLVANE_WINDOWS_SOURCES}/tinygltf-*")
add_library(tolvane_tinygltf STATIC ${tinygltf_dir}/tiny_gltf.cc)
target_include_directories(tolvane_tinygltf SYSTEM PUBLIC ${tinygltf_dir})
target_include_directories(tolvane_tinygltf SYSTEM PRIVATE ${TOLVANE_WINDOWS_SOURCES}/include
  ${TOLVANE_WINDOWS_SOURCES}/include/stb)
target_compile_options(tolvane_tinygltf PRIVATE -w)
add_library(TinyGLTF::TinyGLTF ALIAS tolvane_tinygltf)

# The compiler's runtime DLLs lie beside what is built, as they would beside an installed
# add-in, so that one copy of the C++ runtime serves the shell, the host library and the
# add-in alike (objects made in one are freed in another).
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${dll_path}")
    message(FATAL_ERROR "the compiler has no ${dll}")
  endif()
  file(COPY ${dll_path} DESTINATION ${CMAKE_BINARY_DIR})
endforeach()
